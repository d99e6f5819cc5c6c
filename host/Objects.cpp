// The "Cos" table: PDF objects over QPDF object handles.
#include "host/HostState.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace tesser::host {

namespace {

ObjectRec* WrapLoose(QPDFObjectHandle object) {
    return &S().handles.Add(RecKind::Object, nullptr, std::move(object));
}

HObject Out(Document* doc, QPDFObjectHandle object) {
    return ToHandle(doc != nullptr ? doc->Wrap(object) : WrapLoose(object));
}

// An object reached through parent: a direct one lives where its parent lives.
HObject Child(ObjectRec* parent, QPDFObjectHandle object) {
    return ToHandle(parent->doc != nullptr ? parent->doc->Wrap(object, parent->Holder())
                                           : WrapLoose(object));
}

// An object just made in the document: an indirect one keeps its handle for the document's life.
HObject OutNew(Document* doc, QPDFObjectHandle object) {
    return ToHandle(doc->WrapNew(object));
}

QPDFObjectHandle& Obj(HObject object) {
    return CheckObject(object)->object;
}

[[noreturn]] void WrongType(const char* expected) {
    throw HostException(kHErrBadObject, std::string("The object is not ") + expected + ".");
}

// A dictionary to read from: a stream answers for its dictionary.
QPDFObjectHandle DictOf(ObjectRec* rec) {
    if (rec->object.isStream()) {
        return rec->object.getDict();
    }
    if (!rec->object.isDictionary()) {
        WrongType("a dictionary");
    }
    return rec->object;
}

QPDFObjectHandle ArrayOf(ObjectRec* rec) {
    if (!rec->object.isArray()) {
        WrongType("an array");
    }
    return rec->object;
}

const std::string& Key(HAtom atom) {
    return S().AtomKey(atom);
}

// The value to store into a container of the document. Objects of another document cannot be
// stored; direct objects are copied into place, as PDF direct objects are.
void CheckStorable(Document* container, ObjectRec* value) {
    if (value->doc != nullptr && value->doc != container) {
        throw HostException(kHErrBadParameter,
                            "The object belongs to another document and cannot be stored here.");
    }
}

QPDFObjectHandle Storable(Document* container, ObjectRec* value) {
    CheckStorable(container, value);
    if (value->object.isIndirect()) {
        return value->object;
    }
    return value->object.shallowCopy();
}

void Modified(ObjectRec* rec) {
    if (rec->doc != nullptr) {
        rec->doc->Changed(rec->Holder());
    }
}

HFixed ToFixed(double value) {
    double scaled = std::round(value * 65536.0);
    if (scaled > std::numeric_limits<int32_t>::max()) {
        return std::numeric_limits<int32_t>::max();
    }
    if (scaled < std::numeric_limits<int32_t>::min()) {
        return std::numeric_limits<int32_t>::min();
    }
    return static_cast<HFixed>(scaled);
}

bool DirectEqual(QPDFObjectHandle a, QPDFObjectHandle b) {
    if (a.isIndirect() || b.isIndirect()) {
        return a.isIndirect() && b.isIndirect() && a.getObjGen() == b.getObjGen() &&
               a.getOwningQPDF() == b.getOwningQPDF();
    }
    if (a.isNumber() && b.isNumber()) {
        return a.getNumericValue() == b.getNumericValue();
    }
    if (a.getTypeCode() != b.getTypeCode()) {
        return false;
    }
    if (a.isArray()) {
        int n = a.getArrayNItems();
        if (n != b.getArrayNItems()) {
            return false;
        }
        for (int i = 0; i < n; ++i) {
            if (!DirectEqual(a.getArrayItem(i), b.getArrayItem(i))) {
                return false;
            }
        }
        return true;
    }
    if (a.isDictionary()) {
        auto keys = a.getKeys();
        if (keys != b.getKeys()) {
            return false;
        }
        for (const auto& key : keys) {
            if (!DirectEqual(a.getKey(key), b.getKey(key))) {
                return false;
            }
        }
        return true;
    }
    return a.unparseBinary() == b.unparseBinary();
}

HErrorCode GetObjectType(HObject object, int32_t* type) {
    return Entry("GetObjectType", [&] {
        CheckOut(type);
        QPDFObjectHandle& o = Obj(object);
        switch (o.getTypeCode()) {
        case ::ot_null:
            *type = kHObjNull;
            break;
        case ::ot_integer:
            *type = kHObjInteger;
            break;
        case ::ot_real:
            *type = kHObjReal;
            break;
        case ::ot_boolean:
            *type = kHObjBoolean;
            break;
        case ::ot_name:
            *type = kHObjName;
            break;
        case ::ot_string:
            *type = kHObjString;
            break;
        case ::ot_dictionary:
            *type = kHObjDict;
            break;
        case ::ot_array:
            *type = kHObjArray;
            break;
        case ::ot_stream:
            *type = kHObjStream;
            break;
        default:
            WrongType("a PDF object");
        }
    });
}

HErrorCode ObjectsEqual(HObject a, HObject b, HBool* equal) {
    return Entry("ObjectsEqual", [&] {
        CheckOut(equal);
        *equal = DirectEqual(Obj(a), Obj(b)) ? 1 : 0;
    });
}

HErrorCode GetNameAtom(HObject name, HAtom* atom) {
    return Entry("GetNameAtom", [&] {
        CheckOut(atom);
        QPDFObjectHandle& o = Obj(name);
        if (!o.isName()) {
            WrongType("a name");
        }
        *atom = S().Atom(o.getName().substr(1));
    });
}

HErrorCode GetFixedValue(HObject number, HFixed* value) {
    return Entry("GetFixedValue", [&] {
        CheckOut(value);
        QPDFObjectHandle& o = Obj(number);
        if (!o.isNumber()) {
            WrongType("a number");
        }
        *value = ToFixed(o.getNumericValue());
    });
}

HErrorCode GetBooleanValue(HObject boolean, HBool* value) {
    return Entry("GetBooleanValue", [&] {
        CheckOut(value);
        QPDFObjectHandle& o = Obj(boolean);
        if (!o.isBool()) {
            WrongType("a boolean");
        }
        *value = o.getBoolValue() ? 1 : 0;
    });
}

HErrorCode GetIntegerValue(HObject integer, int32_t* value) {
    return Entry("GetIntegerValue", [&] {
        CheckOut(value);
        QPDFObjectHandle& o = Obj(integer);
        if (o.isInteger()) {
            long long v = o.getIntValue();
            if (v > std::numeric_limits<int32_t>::max() ||
                v < std::numeric_limits<int32_t>::min()) {
                Fail("The integer " + std::to_string(v) + " is out of range.");
            }
            *value = static_cast<int32_t>(v);
        } else if (o.isReal()) {
            double v = std::round(o.getNumericValue());
            if (v > std::numeric_limits<int32_t>::max() ||
                v < std::numeric_limits<int32_t>::min()) {
                Fail("The number is out of range.");
            }
            *value = static_cast<int32_t>(v);
        } else {
            WrongType("a number");
        }
    });
}

HErrorCode GetStringValue(HObject string, char* buffer, size_t bufferSize, size_t* length) {
    return Entry("GetStringValue", [&] {
        CheckOut(length);
        QPDFObjectHandle& o = Obj(string);
        if (!o.isString()) {
            WrongType("a string");
        }
        std::string value = o.getStringValue();
        if (buffer != nullptr && bufferSize > 0) {
            std::memcpy(buffer, value.data(), std::min(bufferSize, value.size()));
        }
        *length = value.size();
    });
}

// New objects: indirect ones are added to the document at once; direct ones belong to it and
// are copied into place when stored.
HObject Make(HCosDoc cosDoc, HBool indirect, QPDFObjectHandle object) {
    if (cosDoc == nullptr && !indirect) {
        return Out(nullptr, object);
    }
    Document* doc = CheckCosDoc(cosDoc);
    if (indirect) {
        object = doc->pdf().makeIndirectObject(object);
        doc->Changed(object.getObjGen());
    }
    return OutNew(doc, object);
}

HErrorCode NewNull(HObject* object) {
    return Entry("NewNull", [&] {
        CheckOut(object);
        *object = ToHandle(&S().handles.Null());
    });
}

HErrorCode NewInteger(HCosDoc doc, HBool indirect, int32_t value, HObject* object) {
    return Entry("NewInteger", [&] {
        CheckOut(object);
        *object = Make(doc, indirect, QPDFObjectHandle::newInteger(value));
    });
}

HErrorCode NewFixed(HCosDoc doc, HBool indirect, HFixed value, HObject* object) {
    return Entry("NewFixed", [&] {
        CheckOut(object);
        QPDFObjectHandle number = (value % 65536 == 0)
                                      ? QPDFObjectHandle::newInteger(value / 65536)
                                      : QPDFObjectHandle::newReal(value / 65536.0, 5, true);
        *object = Make(doc, indirect, number);
    });
}

HErrorCode NewBoolean(HCosDoc doc, HBool indirect, HBool value, HObject* object) {
    return Entry("NewBoolean", [&] {
        CheckOut(object);
        *object = Make(doc, indirect, QPDFObjectHandle::newBool(value != 0));
    });
}

HErrorCode NewName(HCosDoc doc, HBool indirect, HAtom name, HObject* object) {
    return Entry("NewName", [&] {
        CheckOut(object);
        *object = Make(doc, indirect, QPDFObjectHandle::newName(Key(name)));
    });
}

HErrorCode NewString(HCosDoc doc, HBool indirect, const char* bytes, size_t length,
                     HObject* object) {
    return Entry("NewString", [&] {
        CheckOut(object);
        if (bytes == nullptr && length != 0) {
            FailCode(kHErrBadParameter);
        }
        std::string value(bytes != nullptr ? bytes : "", length);
        *object = Make(doc, indirect, QPDFObjectHandle::newString(value));
    });
}

HErrorCode NewArray(HCosDoc doc, HBool indirect, int32_t, HObject* object) {
    return Entry("NewArray", [&] {
        CheckOut(object);
        *object = Make(doc, indirect, QPDFObjectHandle::newArray());
    });
}

HErrorCode NewDict(HCosDoc doc, HBool indirect, int32_t, HObject* object) {
    return Entry("NewDict", [&] {
        CheckOut(object);
        *object = Make(doc, indirect, QPDFObjectHandle::newDictionary());
    });
}

HErrorCode NewStream(HCosDoc cosDoc, HBool, HStream source, int64_t sourceOffset, HBool,
                     HObject attributes, HObject parameters, int64_t sourceLength,
                     HObject* object) {
    return Entry("NewStream", [&] {
        CheckOut(object);
        Document* doc = CheckCosDoc(cosDoc);
        StreamRec* src = CheckStream(source);
        if (sourceOffset < 0 || static_cast<uint64_t>(sourceOffset) > src->length) {
            throw HostException(kHErrBadParameter, "The stream offset is out of range.");
        }
        size_t available = src->length - static_cast<size_t>(sourceOffset);
        size_t length = sourceLength < 0 ? available : static_cast<size_t>(sourceLength);
        if (length > available) {
            throw HostException(kHErrBadParameter,
                                "The stream source holds fewer bytes than asked for.");
        }
        std::string data(src->bytes + sourceOffset, length);
        // Streams are always indirect in PDF.
        QPDFObjectHandle stream = QPDFObjectHandle::newStream(&doc->pdf(), data);
        QPDFObjectHandle filter = QPDFObjectHandle::newNull();
        QPDFObjectHandle decodeParms = QPDFObjectHandle::newNull();
        if (attributes != nullptr) {
            ObjectRec* attr = CheckObject(attributes);
            if (!attr->object.isNull()) {
                // Only read from: its entries are copied into the stream's own dictionary.
                CheckStorable(doc, attr);
                QPDFObjectHandle dict = attr->object;
                if (!dict.isDictionary()) {
                    WrongType("a dictionary");
                }
                QPDFObjectHandle streamDict = stream.getDict();
                for (const auto& key : dict.getKeys()) {
                    if (key != "/Length") {
                        streamDict.replaceKey(key, dict.getKey(key));
                    }
                }
                filter = dict.getKey("/Filter");
                decodeParms = dict.getKey("/DecodeParms");
            }
        }
        if (parameters != nullptr) {
            ObjectRec* params = CheckObject(parameters);
            if (!params->object.isNull()) {
                decodeParms = Storable(doc, params);
            }
        }
        if (!filter.isNull()) {
            // The bytes are already encoded with the filters the attributes name.
            stream.replaceStreamData(data, filter, decodeParms);
        }
        doc->Changed(stream.getObjGen());
        *object = OutNew(doc, stream);
    });
}

HErrorCode DestroyObject(HObject object) {
    return Entry("DestroyObject", [&] {
        ObjectRec* rec = CheckObject(object);
        if (rec->doc == nullptr || !rec->object.isIndirect()) {
            return; // direct objects go with their container or their document
        }
        QPDFObjGen og = rec->object.getObjGen();
        rec->doc->pdf().replaceObject(og, QPDFObjectHandle::newNull());
        rec->doc->handles.indirect.erase(og);
        rec->object = QPDFObjectHandle::newNull();
        rec->doc->Changed(og);
    });
}

HErrorCode GetStreamData(HObject stream, char* buffer, size_t bufferSize, size_t* length) {
    return Entry("GetStreamData", [&] {
        CheckOut(length);
        QPDFObjectHandle& o = Obj(stream);
        if (!o.isStream()) {
            WrongType("a stream");
        }
        auto data = o.getStreamData(qpdf_dl_generalized);
        if (buffer != nullptr && bufferSize > 0) {
            std::memcpy(buffer, data->getBuffer(), std::min(bufferSize, data->getSize()));
        }
        *length = data->getSize();
    });
}

HErrorCode DictKnown(HObject dict, HAtom key, HBool* known) {
    return Entry("DictKnown", [&] {
        CheckOut(known);
        *known = DictOf(CheckObject(dict)).hasKey(Key(key)) ? 1 : 0;
    });
}

HErrorCode DictGet(HObject dict, HAtom key, HObject* value) {
    return Entry("DictGet", [&] {
        CheckOut(value);
        ObjectRec* rec = CheckObject(dict);
        *value = Child(rec, DictOf(rec).getKey(Key(key)));
    });
}

HErrorCode DictPut(HObject dict, HAtom key, HObject value) {
    return Entry("DictPut", [&] {
        ObjectRec* rec = CheckObject(dict);
        QPDFObjectHandle target = DictOf(rec);
        std::string k = Key(key);
        if (rec->object.isStream() && k == "/Length") {
            return; // the writer sets it
        }
        target.replaceKey(k, Storable(rec->doc, CheckObject(value)));
        Modified(rec);
    });
}

HErrorCode DictRemove(HObject dict, HAtom key) {
    return Entry("DictRemove", [&] {
        ObjectRec* rec = CheckObject(dict);
        QPDFObjectHandle target = DictOf(rec);
        std::string k = Key(key);
        if (target.hasKey(k)) {
            target.removeKey(k);
            Modified(rec);
        }
    });
}

HErrorCode ArrayLength(HObject array, int32_t* length) {
    return Entry("ArrayLength", [&] {
        CheckOut(length);
        *length = ArrayOf(CheckObject(array)).getArrayNItems();
    });
}

void CheckIndex(int32_t index, int32_t limit) {
    if (index < 0 || index > limit) {
        throw HostException(kHErrBadParameter,
                            "The array index " + std::to_string(index) + " is out of range.");
    }
}

HErrorCode ArrayGet(HObject array, int32_t index, HObject* element) {
    return Entry("ArrayGet", [&] {
        CheckOut(element);
        ObjectRec* rec = CheckObject(array);
        QPDFObjectHandle a = ArrayOf(rec);
        CheckIndex(index, a.getArrayNItems() - 1);
        *element = Child(rec, a.getArrayItem(index));
    });
}

HErrorCode ArrayPut(HObject array, int32_t index, HObject element) {
    return Entry("ArrayPut", [&] {
        ObjectRec* rec = CheckObject(array);
        QPDFObjectHandle a = ArrayOf(rec);
        int32_t n = a.getArrayNItems();
        CheckIndex(index, n);
        QPDFObjectHandle value = Storable(rec->doc, CheckObject(element));
        if (index == n) {
            a.appendItem(value);
        } else {
            a.setArrayItem(index, value);
        }
        Modified(rec);
    });
}

HErrorCode ArrayInsert(HObject array, int32_t index, HObject element) {
    return Entry("ArrayInsert", [&] {
        ObjectRec* rec = CheckObject(array);
        QPDFObjectHandle a = ArrayOf(rec);
        int32_t n = a.getArrayNItems();
        CheckIndex(index, n);
        QPDFObjectHandle value = Storable(rec->doc, CheckObject(element));
        if (index == n) {
            a.appendItem(value);
        } else {
            a.insertItem(index, value);
        }
        Modified(rec);
    });
}

HErrorCode ArrayRemove(HObject array, HObject element) {
    return Entry("ArrayRemove", [&] {
        ObjectRec* rec = CheckObject(array);
        QPDFObjectHandle a = ArrayOf(rec);
        QPDFObjectHandle wanted = Obj(element);
        int32_t n = a.getArrayNItems();
        for (int32_t i = 0; i < n; ++i) {
            if (DirectEqual(a.getArrayItem(i), wanted)) {
                a.eraseItem(i);
                Modified(rec);
                return;
            }
        }
        throw HostException(kHErrNotFound, "The array does not hold the object to remove.");
    });
}

HErrorCode GetCatalog(HCosDoc cosDoc, HObject* catalog) {
    return Entry("GetCatalog", [&] {
        CheckOut(catalog);
        Document* doc = CheckCosDoc(cosDoc);
        *catalog = Out(doc, doc->pdf().getRoot());
    });
}

HErrorCode GetInfoDict(HCosDoc cosDoc, HObject* info) {
    return Entry("GetInfoDict", [&] {
        CheckOut(info);
        Document* doc = CheckCosDoc(cosDoc);
        QPDFObjectHandle found = doc->pdf().getTrailer().getKey("/Info");
        *info = Out(doc, found.isDictionary() ? found : QPDFObjectHandle::newNull());
    });
}

HErrorCode RemoveInfoDict(HCosDoc cosDoc) {
    return Entry("RemoveInfoDict", [&] {
        Document* doc = CheckCosDoc(cosDoc);
        QPDFObjectHandle trailer = doc->pdf().getTrailer();
        if (trailer.hasKey("/Info")) {
            // The dictionary itself stays as an unreferenced object: a full save drops it.
            trailer.removeKey("/Info");
            doc->Changed();
        }
    });
}

HErrorCode DictEnumerate(HObject dict, HDictVisitor visitor, void* clientData) {
    return Entry("DictEnumerate", [&] {
        CheckOut(reinterpret_cast<const void*>(visitor));
        ObjectRec* rec = CheckObject(dict);
        // A copy of the entries: the visitor may change the dictionary.
        std::map<std::string, QPDFObjectHandle> entries = DictOf(rec).getDictAsMap();
        for (auto& [key, value] : entries) {
            if (value.isNull()) {
                continue;
            }
            HAtom atom = S().Atom(key.substr(1));
            bool more = true;
            try {
                more = visitor(atom, Child(rec, value), clientData) != 0;
            } catch (...) {
                more = false; // nothing may cross the table boundary
            }
            if (!more) {
                break;
            }
        }
    });
}

HErrorCode GetObjectNumber(HObject object, int32_t* number) {
    return Entry("GetObjectNumber", [&] {
        CheckOut(number);
        const QPDFObjectHandle& o = Obj(object);
        *number = o.isIndirect() ? o.getObjectID() : 0;
    });
}

} // namespace

void FillCosTable(HostCosTable& t) {
    t.size = sizeof(HostCosTable);
    t.version = HOST_TABLE_VERSION_2_2;
    t.GetObjectType = GetObjectType;
    t.ObjectsEqual = ObjectsEqual;
    t.GetNameAtom = GetNameAtom;
    t.GetFixedValue = GetFixedValue;
    t.GetBooleanValue = GetBooleanValue;
    t.GetIntegerValue = GetIntegerValue;
    t.GetStringValue = GetStringValue;
    t.NewNull = NewNull;
    t.NewInteger = NewInteger;
    t.NewFixed = NewFixed;
    t.NewBoolean = NewBoolean;
    t.NewName = NewName;
    t.NewString = NewString;
    t.NewArray = NewArray;
    t.NewDict = NewDict;
    t.NewStream = NewStream;
    t.DestroyObject = DestroyObject;
    t.GetStreamData = GetStreamData;
    t.DictKnown = DictKnown;
    t.DictGet = DictGet;
    t.DictPut = DictPut;
    t.DictRemove = DictRemove;
    t.ArrayLength = ArrayLength;
    t.ArrayGet = ArrayGet;
    t.ArrayPut = ArrayPut;
    t.ArrayInsert = ArrayInsert;
    t.ArrayRemove = ArrayRemove;
    t.GetCatalog = GetCatalog;
    t.GetInfoDict = GetInfoDict;
    t.RemoveInfoDict = RemoveInfoDict;
    t.DictEnumerate = DictEnumerate;
    t.GetObjectNumber = GetObjectNumber;
}

} // namespace tesser::host
