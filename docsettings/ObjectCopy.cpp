#include "docsettings/ObjectCopy.h"

#include "docsettings/CosAccess.h"

namespace tesser::docsettings {

namespace pc = tesser::hostcalls;

ObjectCopy ObjectCopy::Null() {
    ObjectCopy c;
    c.kind_ = Kind::Null;
    return c;
}

ObjectCopy ObjectCopy::Unsupported() {
    ObjectCopy c;
    c.kind_ = Kind::Unsupported;
    return c;
}

ObjectCopy ObjectCopy::Boolean(bool value) {
    ObjectCopy c;
    c.kind_ = Kind::Boolean;
    c.number_ = value ? 1 : 0;
    return c;
}

ObjectCopy ObjectCopy::Integer(int32_t value) {
    ObjectCopy c;
    c.kind_ = Kind::Integer;
    c.number_ = value;
    return c;
}

ObjectCopy ObjectCopy::Real(HFixed value) {
    ObjectCopy c;
    c.kind_ = Kind::Real;
    c.number_ = value;
    return c;
}

ObjectCopy ObjectCopy::Name(std::string text) {
    ObjectCopy c;
    c.kind_ = Kind::Name;
    c.text_ = std::move(text);
    return c;
}

ObjectCopy ObjectCopy::String(std::string bytes) {
    ObjectCopy c;
    c.kind_ = Kind::String;
    c.text_ = std::move(bytes);
    return c;
}

ObjectCopy ObjectCopy::Array(std::vector<ObjectCopy> items) {
    ObjectCopy c;
    c.kind_ = Kind::Array;
    c.items_ = std::move(items);
    return c;
}

ObjectCopy ObjectCopy::Dictionary(std::vector<std::pair<std::string, ObjectCopy>> entries) {
    ObjectCopy c;
    c.kind_ = Kind::Dictionary;
    c.entries_ = std::move(entries);
    return c;
}

ObjectCopy ObjectCopy::Page(int32_t index) {
    ObjectCopy c;
    c.kind_ = Kind::Page;
    c.number_ = index;
    return c;
}

bool ObjectCopy::complete() const {
    if (kind_ == Kind::Unsupported) {
        return false;
    }
    for (const auto& item : items_) {
        if (!item.complete()) {
            return false;
        }
    }
    for (const auto& [key, value] : entries_) {
        if (!value.complete()) {
            return false;
        }
    }
    return true;
}

const ObjectCopy& ObjectCopy::Get(const std::string& key) const {
    static const ObjectCopy absent;
    for (const auto& [k, value] : entries_) {
        if (k == key) {
            return value;
        }
    }
    return absent;
}

namespace {

int32_t FindPageIndex(HDoc doc, HObject dict) {
    const int32_t count = pc::GetPageCount(doc);
    for (int32_t i = 0; i < count; ++i) {
        pc::PageHandle page(pc::AcquirePage(doc, i));
        if (pc::ObjectsEqual(pc::GetPageCosObject(page.get()), dict)) {
            return i;
        }
    }
    return -1;
}

} // namespace

namespace {

class ObjectCopier {
public:
    explicit ObjectCopier(HDoc doc) : doc_(doc) {}

    ObjectCopy Copy(HObject object, int depth) {
        if (++copied_ > kMaxCopyObjects) {
            return ObjectCopy::Unsupported();
        }
        switch (cos::TypeOf(object)) {
        case kHObjNull:
            return depth == 0 ? ObjectCopy::Absent() : ObjectCopy::Null();
        case kHObjBoolean:
            return ObjectCopy::Boolean(pc::GetBooleanValue(object));
        case kHObjInteger:
            return ObjectCopy::Integer(pc::GetIntegerValue(object));
        case kHObjReal:
            return ObjectCopy::Real(pc::GetFixedValue(object));
        case kHObjName:
            return ObjectCopy::Name(cos::NameText(object));
        case kHObjString:
            return ObjectCopy::String(pc::GetStringValue(object));
        case kHObjArray:
            return depth >= kMaxCopyDepth ? ObjectCopy::Unsupported() : CopyArray(object, depth);
        case kHObjDict:
            return depth >= kMaxCopyDepth ? ObjectCopy::Unsupported() : CopyDict(object, depth);
        default:
            return ObjectCopy::Unsupported();
        }
    }

private:
    ObjectCopy CopyArray(HObject array, int depth) {
        std::vector<ObjectCopy> items;
        const int32_t length = pc::ArrayLength(array);
        for (int32_t i = 0; i < length; ++i) {
            items.push_back(Copy(pc::ArrayGet(array, i), depth + 1));
        }
        return ObjectCopy::Array(std::move(items));
    }

    ObjectCopy CopyDict(HObject dict, int depth) {
        if (cos::IsNameText(cos::Get(dict, "Type"), "Page")) {
            const int32_t index = FindPageIndex(doc_, dict);
            return index >= 0 ? ObjectCopy::Page(index) : ObjectCopy::Unsupported();
        }
        std::vector<std::pair<std::string, ObjectCopy>> entries;
        pc::DictEnumerate(dict, [&](HAtom key, HObject value) {
            entries.emplace_back(pc::GetAtomText(key), Copy(value, depth + 1));
            return true;
        });
        return ObjectCopy::Dictionary(std::move(entries));
    }

    HDoc doc_;
    int copied_ = 0;
};

} // namespace

ObjectCopy CopyObject(HDoc doc, HObject object) {
    return ObjectCopier(doc).Copy(object, 0);
}

HObject MakeObject(HDoc doc, const ObjectCopy& copy) {
    HCosDoc cosDoc = pc::GetCosDocument(doc);
    switch (copy.kind()) {
    case ObjectCopy::Kind::Absent:
    case ObjectCopy::Kind::Null:
    case ObjectCopy::Kind::Unsupported:
        return pc::NewNull();
    case ObjectCopy::Kind::Boolean:
        return pc::NewBoolean(cosDoc, false, copy.boolean());
    case ObjectCopy::Kind::Integer:
        return pc::NewInteger(cosDoc, false, copy.integer());
    case ObjectCopy::Kind::Real:
        return pc::NewFixed(cosDoc, false, copy.fixed());
    case ObjectCopy::Kind::Name:
        return cos::MakeName(cosDoc, copy.text());
    case ObjectCopy::Kind::String:
        return pc::NewString(cosDoc, false, copy.text());
    case ObjectCopy::Kind::Array: {
        // Filled before it is placed: the host copies direct objects into their container.
        HObject array = pc::NewArray(cosDoc, false, static_cast<int32_t>(copy.items().size()));
        int32_t index = 0;
        for (const auto& item : copy.items()) {
            pc::ArrayPut(array, index++, MakeObject(doc, item));
        }
        return array;
    }
    case ObjectCopy::Kind::Dictionary: {
        HObject dict = pc::NewDict(cosDoc, false, static_cast<int32_t>(copy.entries().size()));
        for (const auto& [key, value] : copy.entries()) {
            if (value.kind() != ObjectCopy::Kind::Unsupported) {
                cos::Put(dict, key, MakeObject(doc, value));
            }
        }
        return dict;
    }
    case ObjectCopy::Kind::Page: {
        if (copy.integer() < 0 || copy.integer() >= pc::GetPageCount(doc)) {
            return pc::NewNull();
        }
        pc::PageHandle page(pc::AcquirePage(doc, copy.integer()));
        return pc::GetPageCosObject(page.get());
    }
    }
    return pc::NewNull();
}

void RestoreEntry(HDoc doc, HObject dict, const std::string& key, const ObjectCopy& copy) {
    if (copy.absent()) {
        if (!cos::IsNull(cos::Get(dict, key))) {
            cos::Remove(dict, key);
        }
        return;
    }
    cos::Put(dict, key, MakeObject(doc, copy));
}

} // namespace tesser::docsettings
