// The object layer: types, dictionaries, arrays, equality, streams of any length.
#include "tests/host/HostTestSupport.h"

#include <cstddef>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace tesser::host::test {
namespace {

class Objects : public HostTest {
protected:
    void SetUp() override {
        file = dir / "objects.pdf";
        MakePdf(file, PdfSpec{.pages = 1});
        doc = OpenOk(file);
        ASSERT_TRUE(Ok(model->GetCosDocument(doc, &cd)));
    }
    void TearDown() override { model->CloseDocument(doc); }

    HObject Int(int32_t v, bool indirect = false) {
        HObject o = nullptr;
        EXPECT_TRUE(Ok(cos->NewInteger(cd, indirect, v, &o)));
        return o;
    }
    int32_t Type(HObject o) {
        int32_t t = -1;
        EXPECT_TRUE(Ok(cos->GetObjectType(o, &t)));
        return t;
    }
    bool Equal(HObject a, HObject b) {
        HBool e = -1;
        EXPECT_TRUE(Ok(cos->ObjectsEqual(a, b, &e)));
        return e != 0;
    }

    std::filesystem::path file;
    HDoc doc = nullptr;
    HCosDoc cd = nullptr;
};

TEST_F(Objects, TypeCodes) {
    HObject o = nullptr;
    cos->NewNull(&o);
    EXPECT_EQ(Type(o), kHObjNull);
    EXPECT_EQ(Type(Int(3)), kHObjInteger);
    cos->NewFixed(cd, 0, 0x18000, &o);
    EXPECT_EQ(Type(o), kHObjReal);
    cos->NewBoolean(cd, 0, 1, &o);
    EXPECT_EQ(Type(o), kHObjBoolean);
    cos->NewName(cd, 0, Atom("X"), &o);
    EXPECT_EQ(Type(o), kHObjName);
    cos->NewString(cd, 0, "s", 1, &o);
    EXPECT_EQ(Type(o), kHObjString);
    cos->NewArray(cd, 0, 0, &o);
    EXPECT_EQ(Type(o), kHObjArray);
    EXPECT_EQ(Type(Catalog(doc)), kHObjDict);
}

TEST_F(Objects, FixedValuesRoundTripAndIntegersStayIntegers) {
    HObject o = nullptr;
    ASSERT_TRUE(Ok(cos->NewFixed(cd, 0, -0x28000, &o))); // -2.5
    HFixed v = 0;
    ASSERT_TRUE(Ok(cos->GetFixedValue(o, &v)));
    EXPECT_EQ(v, -0x28000);
    ASSERT_TRUE(Ok(cos->NewFixed(cd, 0, 12 << 16, &o)));
    EXPECT_EQ(Type(o), kHObjInteger);
    ASSERT_TRUE(Ok(cos->GetFixedValue(Int(7), &v)));
    EXPECT_EQ(v, 7 << 16);
    HObject name = nullptr;
    cos->NewName(cd, 0, Atom("N"), &name);
    EXPECT_NE(cos->GetFixedValue(name, &v), kHErrNone);
}

TEST_F(Objects, DictionaryPutGetKnownRemove) {
    HObject dict = nullptr;
    ASSERT_TRUE(Ok(cos->NewDict(cd, 1, 2, &dict)));
    HAtom key = Atom("Key");
    HBool known = 1;
    ASSERT_TRUE(Ok(cos->DictKnown(dict, key, &known)));
    EXPECT_FALSE(known);
    HObject absent = nullptr;
    ASSERT_TRUE(Ok(cos->DictGet(dict, key, &absent)));
    EXPECT_EQ(Type(absent), kHObjNull);
    ASSERT_TRUE(Ok(cos->DictPut(dict, key, Int(5))));
    ASSERT_TRUE(Ok(cos->DictKnown(dict, key, &known)));
    EXPECT_TRUE(known);
    HObject got = nullptr;
    ASSERT_TRUE(Ok(cos->DictGet(dict, key, &got)));
    int32_t v = 0;
    cos->GetIntegerValue(got, &v);
    EXPECT_EQ(v, 5);
    ASSERT_TRUE(Ok(cos->DictRemove(dict, key)));
    ASSERT_TRUE(Ok(cos->DictKnown(dict, key, &known)));
    EXPECT_FALSE(known);
    EXPECT_NE(cos->DictPut(Int(1), key, Int(2)), kHErrNone) << "an integer is no dictionary";
}

TEST_F(Objects, DirectObjectsAreCopiedIntoPlace) {
    HObject inner = nullptr, outer = nullptr;
    cos->NewDict(cd, 0, 1, &inner);
    cos->NewDict(cd, 1, 1, &outer);
    cos->DictPut(inner, Atom("A"), Int(1));
    ASSERT_TRUE(Ok(cos->DictPut(outer, Atom("Inner"), inner)));
    cos->DictPut(inner, Atom("B"), Int(2)); // after the put: not seen in outer
    HObject stored = nullptr;
    cos->DictGet(outer, Atom("Inner"), &stored);
    HBool known = 1;
    cos->DictKnown(stored, Atom("B"), &known);
    EXPECT_FALSE(known);
    // A handle got from the container changes the container.
    cos->DictPut(stored, Atom("C"), Int(3));
    HObject again = nullptr;
    cos->DictGet(outer, Atom("Inner"), &again);
    cos->DictKnown(again, Atom("C"), &known);
    EXPECT_TRUE(known);
}

TEST_F(Objects, ArrayPutInsertRemove) {
    HObject a = nullptr;
    ASSERT_TRUE(Ok(cos->NewArray(cd, 0, 0, &a)));
    ASSERT_TRUE(Ok(cos->ArrayPut(a, 0, Int(10)))); // append
    ASSERT_TRUE(Ok(cos->ArrayPut(a, 1, Int(30)))); // append
    ASSERT_TRUE(Ok(cos->ArrayInsert(a, 1, Int(20))));
    ASSERT_TRUE(Ok(cos->ArrayInsert(a, 0, Int(0))));
    int32_t n = 0;
    cos->ArrayLength(a, &n);
    ASSERT_EQ(n, 4);
    for (int i = 0; i < 4; ++i) {
        HObject e = nullptr;
        ASSERT_TRUE(Ok(cos->ArrayGet(a, i, &e)));
        int32_t v = -1;
        cos->GetIntegerValue(e, &v);
        EXPECT_EQ(v, i * 10);
    }
    ASSERT_TRUE(Ok(cos->ArrayPut(a, 0, Int(99)))); // replace
    ASSERT_TRUE(Ok(cos->ArrayRemove(a, Int(20))));
    cos->ArrayLength(a, &n);
    EXPECT_EQ(n, 3);
    EXPECT_NE(cos->ArrayRemove(a, Int(12345)), kHErrNone);
    HObject e = nullptr;
    EXPECT_NE(cos->ArrayGet(a, 3, &e), kHErrNone);
    EXPECT_NE(cos->ArrayPut(a, 5, Int(1)), kHErrNone);
    EXPECT_NE(cos->ArrayInsert(a, -1, Int(1)), kHErrNone);
}

TEST_F(Objects, EqualityIsIdentityForIndirectAndValueForDirect) {
    HObject a = Int(4, true), b = Int(4, true);
    EXPECT_FALSE(Equal(a, b)) << "two indirect objects";
    EXPECT_TRUE(Equal(a, a));
    EXPECT_TRUE(Equal(Int(4), Int(4)));
    EXPECT_FALSE(Equal(Int(4), Int(5)));
    EXPECT_FALSE(Equal(a, Int(4)));
    HObject r = nullptr;
    cos->NewFixed(cd, 0, 4 << 16, &r);
    EXPECT_TRUE(Equal(r, Int(4)));
    HObject s1 = nullptr, s2 = nullptr;
    cos->NewString(cd, 0, "a\0b", 3, &s1);
    cos->NewString(cd, 0, "a\0c", 3, &s2);
    EXPECT_FALSE(Equal(s1, s2));
    // The catalogue got twice is the same object.
    EXPECT_TRUE(Equal(Catalog(doc), Catalog(doc)));
}

TEST_F(Objects, StringsKeepEveryByte) {
    std::string bytes("\0(\\)\xff\r\n", 7);
    HObject s = nullptr;
    ASSERT_TRUE(Ok(cos->NewString(cd, 0, bytes.data(), bytes.size(), &s)));
    ASSERT_TRUE(Ok(cos->DictPut(Catalog(doc), Atom("Bytes"), s)));
    ASSERT_TRUE(Ok(Save(doc, file)));
    model->CloseDocument(doc);
    doc = OpenOk(file);
    HObject got = nullptr;
    ASSERT_TRUE(Ok(cos->DictGet(Catalog(doc), Atom("Bytes"), &got)));
    char buffer[16];
    size_t length = 0;
    ASSERT_TRUE(Ok(cos->GetStringValue(got, buffer, sizeof buffer, &length)));
    EXPECT_EQ(std::string(buffer, length), bytes);
}

TEST_F(Objects, LongStreamFromMemoryIsStoredWhole) {
    std::string data;
    for (int i = 0; data.size() < 200000; ++i) {
        data += "0 0 m " + std::to_string(i) + " 0 l S\r\n";
    }
    HStream source = nullptr;
    ASSERT_TRUE(Ok(support->OpenMemoryReadStream(data.data(), data.size(), &source)));
    HObject attrs = nullptr, null = nullptr, stream = nullptr;
    cos->NewDict(cd, 0, 1, &attrs);
    cos->NewNull(&null);
    ASSERT_TRUE(Ok(cos->NewStream(cd, 1, source, 0, 1, attrs, null,
                                  static_cast<int64_t>(data.size()), &stream)));
    ASSERT_TRUE(Ok(support->CloseStream(source)));
    EXPECT_EQ(Type(stream), kHObjStream);
    ASSERT_TRUE(Ok(cos->DictPut(Catalog(doc), Atom("Long"), stream)));
    ASSERT_TRUE(Ok(Save(doc, file)));
    model->CloseDocument(doc);
    doc = OpenOk(file);
    HObject got = nullptr;
    ASSERT_TRUE(Ok(cos->DictGet(Catalog(doc), Atom("Long"), &got)));
    size_t length = 0;
    ASSERT_TRUE(Ok(cos->GetStreamData(got, nullptr, 0, &length)));
    ASSERT_EQ(length, data.size());
    std::string back(length, '\0');
    ASSERT_TRUE(Ok(cos->GetStreamData(got, back.data(), back.size(), &length)));
    EXPECT_EQ(back, data);
    EXPECT_TRUE(QpdfCheckPasses(file));
}

TEST_F(Objects, StreamSourceShorterThanAskedIsRefused) {
    const char bytes[] = "abc";
    HStream source = nullptr;
    support->OpenMemoryReadStream(bytes, 3, &source);
    HObject stream = nullptr;
    EXPECT_NE(cos->NewStream(cd, 1, source, 1, 1, nullptr, nullptr, 5, &stream), kHErrNone);
    EXPECT_EQ(stream, nullptr);
    support->CloseStream(source);
}

TEST_F(Objects, DestroyedIndirectObjectDisappearsFromTheFile) {
    HObject s = nullptr;
    const char text[] = "destroy-me-please";
    cos->NewString(cd, 1, text, sizeof text - 1, &s);
    ASSERT_TRUE(Ok(cos->DictPut(Catalog(doc), Atom("Gone"), s)));
    ASSERT_TRUE(Ok(cos->DestroyObject(s)));
    ASSERT_TRUE(Ok(Save(doc, file)));
    EXPECT_EQ(tesser::test::ReadFile(file).find("destroy-me-please"), std::string::npos);
    EXPECT_TRUE(QpdfCheckPasses(file));
}

TEST_F(Objects, ObjectsOfAnotherDocumentCannotBeStored) {
    auto other = dir / "other.pdf";
    MakePdf(other, PdfSpec{.pages = 1});
    HDoc second = OpenOk(other);
    HCosDoc cd2 = nullptr;
    model->GetCosDocument(second, &cd2);
    HObject foreign = nullptr;
    cos->NewDict(cd2, 1, 0, &foreign);
    HErrorCode code = cos->DictPut(Catalog(doc), Atom("Foreign"), foreign);
    EXPECT_NE(code, kHErrNone);
    EXPECT_NE(Text(code).find("another document"), std::string::npos) << Text(code);
    model->CloseDocument(second);
}

TEST_F(Objects, NameAtomsMatchTheirText) {
    HObject name = nullptr;
    cos->NewName(cd, 0, Atom("WinAnsiEncoding"), &name);
    HAtom atom = 0;
    ASSERT_TRUE(Ok(cos->GetNameAtom(name, &atom)));
    EXPECT_EQ(atom, Atom("WinAnsiEncoding"));
    char text[32];
    ASSERT_TRUE(Ok(core->GetAtomText(atom, text, sizeof text)));
    EXPECT_STREQ(text, "WinAnsiEncoding");
    char small[4];
    ASSERT_TRUE(Ok(core->GetAtomText(atom, small, sizeof small)));
    EXPECT_STREQ(small, "Win");
}

// What DictEnumerate handed over: key texts and value types, in order.
struct Visited {
    Visited(const HostCoreTable* c, const HostCosTable* t) : core(c), cos(t) {}
    const HostCoreTable* core;
    const HostCosTable* cos;
    std::vector<std::pair<std::string, int32_t>> entries;
    size_t stopAfter = 0; // 0: never stop
    HObject dict = nullptr;
    HAtom removeKey = 0;
};

HBool Visit(HAtom key, HObject value, void* clientData) {
    auto* v = static_cast<Visited*>(clientData);
    char text[64];
    v->core->GetAtomText(key, text, sizeof text);
    int32_t type = -1;
    v->cos->GetObjectType(value, &type);
    v->entries.emplace_back(text, type);
    if (v->removeKey != 0) {
        v->cos->DictRemove(v->dict, v->removeKey);
    }
    return v->stopAfter == 0 || v->entries.size() < v->stopAfter;
}

TEST_F(Objects, DictEnumerateVisitsEveryEntryInKeyOrderWithItsValue) {
    HObject dict = nullptr;
    ASSERT_TRUE(Ok(cos->NewDict(cd, 0, 4, &dict)));
    HObject name = nullptr, string = nullptr, array = nullptr, null = nullptr;
    cos->NewName(cd, 0, Atom("N"), &name);
    cos->NewString(cd, 0, "s", 1, &string);
    cos->NewArray(cd, 0, 0, &array);
    cos->NewNull(&null);
    ASSERT_TRUE(Ok(cos->DictPut(dict, Atom("Zeta"), name)));
    ASSERT_TRUE(Ok(cos->DictPut(dict, Atom("Alpha"), string)));
    ASSERT_TRUE(Ok(cos->DictPut(dict, Atom("Mid"), array)));
    ASSERT_TRUE(Ok(cos->DictPut(dict, Atom("Indirect"), Int(7, true))));
    ASSERT_TRUE(Ok(cos->DictPut(dict, Atom("Gone"), null)));
    Visited v(core, cos);
    ASSERT_TRUE(Ok(cos->DictEnumerate(dict, Visit, &v)));
    const std::vector<std::pair<std::string, int32_t>> expected = {{"Alpha", kHObjString},
                                                                   {"Indirect", kHObjInteger},
                                                                   {"Mid", kHObjArray},
                                                                   {"Zeta", kHObjName}};
    EXPECT_EQ(v.entries, expected);
}

TEST_F(Objects, DictEnumerateStopsWhenTheVisitorSaysSoAndIgnoresItsChanges) {
    HObject dict = Catalog(doc);
    Visited all(core, cos);
    ASSERT_TRUE(Ok(cos->DictEnumerate(dict, Visit, &all)));
    ASSERT_GE(all.entries.size(), 2u);
    Visited first(core, cos);
    first.stopAfter = 1;
    ASSERT_TRUE(Ok(cos->DictEnumerate(dict, Visit, &first)));
    EXPECT_EQ(first.entries.size(), 1u);
    // Removing an entry not yet visited does not change the enumeration in progress.
    Visited removing(core, cos);
    removing.dict = dict;
    removing.removeKey = Atom(all.entries.back().first);
    ASSERT_TRUE(Ok(cos->DictEnumerate(dict, Visit, &removing)));
    EXPECT_EQ(removing.entries, all.entries);
    HBool known = 1;
    ASSERT_TRUE(Ok(cos->DictKnown(dict, removing.removeKey, &known)));
    EXPECT_EQ(known, 0);
}

TEST_F(Objects, DictEnumerateRefusesWhatIsNotADictionaryAndANullVisitor) {
    Visited v(core, cos);
    const HErrorCode code = cos->DictEnumerate(Int(1), Visit, &v);
    EXPECT_NE(code, kHErrNone);
    EXPECT_NE(Text(code).find("not a dictionary"), std::string::npos) << Text(code);
    EXPECT_EQ(cos->DictEnumerate(Catalog(doc), nullptr, &v), kHErrBadParameter);
    EXPECT_TRUE(v.entries.empty());
}

TEST_F(Objects, TheInfoDictionaryIsAbsentUntilMadeAndCanBeTakenOutAgain) {
    HObject info = nullptr;
    ASSERT_TRUE(Ok(cos->GetInfoDict(cd, &info)));
    EXPECT_EQ(Type(info), kHObjNull) << "the fixture has no information dictionary";
    ASSERT_TRUE(Ok(model->SetDocInfo(doc, "Title", "", 0)));
    ASSERT_TRUE(Ok(cos->GetInfoDict(cd, &info)));
    ASSERT_EQ(Type(info), kHObjDict);
    HBool known = 0;
    ASSERT_TRUE(Ok(cos->DictKnown(info, Atom("Title"), &known)));
    EXPECT_EQ(known, 1) << "an empty Title is an entry, not an absence";
    ASSERT_TRUE(Ok(cos->RemoveInfoDict(cd)));
    ASSERT_TRUE(Ok(cos->GetInfoDict(cd, &info)));
    EXPECT_EQ(Type(info), kHObjNull);
    ASSERT_TRUE(Ok(cos->RemoveInfoDict(cd))) << "removing what is not there is no error";

    const auto out = dir / "no-info.pdf";
    ASSERT_TRUE(Ok(Save(doc, out)));
    const auto trailer = Qpdf("--show-object=trailer " + Quote(out.string()));
    EXPECT_EQ(trailer.output.find("/Info"), std::string::npos) << trailer.output;
    EXPECT_TRUE(QpdfCheckPasses(out));
}

TEST_F(Objects, TheCosTableSizeCoversTheLaterEntries) {
    EXPECT_GE(cos->size, offsetof(HostCosTable, DictEnumerate) + sizeof(cos->DictEnumerate));
    EXPECT_NE(cos->GetInfoDict, nullptr);
    EXPECT_NE(cos->RemoveInfoDict, nullptr);
    EXPECT_NE(cos->DictEnumerate, nullptr);
}

} // namespace
} // namespace tesser::host::test
