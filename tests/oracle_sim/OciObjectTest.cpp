// Named types through the client library against a simulated instance: describe, the instance
// layout programs read directly, collections, object and REF columns fetched in arrays, objects
// bound in and out, persistent objects pinned, flushed and refreshed across sessions, and
// SYS.XMLTYPE through a PL/SQL block.
#include "OciConnection.h"

namespace {

constexpr size_t P = sizeof(void*);

class OciObjectTest : public OciConnectedTest {
 protected:
  void SetUp() override {
    LogOn("scott", "tiger");
    err = conn->err;
    svc = conn->svc;
  }

  void Exec(const char* sql) { ASSERT_EQ(conn->Run(sql), OCI_SUCCESS) << sql << ": " << conn->Message(); }
  int Code() { return ErrorOf(oci, err).first; }

  OCIType* TypeOf(const char* name) {
    OCIType* t = nullptr;
    EXPECT_EQ(oci.OCITypeByName(env, err, svc, nullptr, 0, T(name), static_cast<ub4>(std::strlen(name)),
                                nullptr, 0, OCI_DURATION_SESSION, OCI_TYPEGET_ALL, &t),
              OCI_SUCCESS)
        << name << ": " << conn->Message();
    return t;
  }
  // The type code a describe reports for a type descriptor (what OCIObjectNew is then given).
  ub2 TypeCode(OCIType* t) {
    OCIDescribe* dsc = nullptr;
    oci.OCIHandleAlloc(env, reinterpret_cast<dvoid**>(&dsc), OCI_HTYPE_DESCRIBE, 0, nullptr);
    ub2 code = 0;
    OCIParam* p = nullptr;
    EXPECT_EQ(oci.OCIDescribeAny(svc, err, t, 0, OCI_OTYPE_PTR, 0, OCI_PTYPE_TYPE, dsc), OCI_SUCCESS);
    EXPECT_EQ(oci.OCIAttrGet(dsc, OCI_HTYPE_DESCRIBE, &p, nullptr, OCI_ATTR_PARAM, err), OCI_SUCCESS);
    EXPECT_EQ(oci.OCIAttrGet(p, OCI_DTYPE_PARAM, &code, nullptr, OCI_ATTR_TYPECODE, err), OCI_SUCCESS);
    oci.OCIHandleFree(dsc, OCI_HTYPE_DESCRIBE);
    return code;
  }
  void* New(OCIType* t) {
    void* p = nullptr;
    EXPECT_EQ(oci.OCIObjectNew(env, err, svc, TypeCode(t), t, nullptr, OCI_DURATION_SESSION, TRUE, &p),
              OCI_SUCCESS)
        << conn->Message();
    return p;
  }
  // A collection's size (-1 when the call fails).
  sb4 CollSize(OCIColl* c) {
    sb4 size = -1;
    EXPECT_EQ(oci.OCICollSize(env, err, c, &size), OCI_SUCCESS) << conn->Message();
    return size;
  }
  sb2* Nulls(void* inst) {
    dvoid* n = nullptr;
    EXPECT_EQ(oci.OCIObjectGetInd(env, err, inst, &n), OCI_SUCCESS);
    return static_cast<sb2*>(n);
  }
  // Offsets of an attribute reached by a path of names: its cell from the instance, its indicator
  // (in entries) from the null structure.
  std::pair<size_t, size_t> Place(void* inst, std::initializer_list<const char*> path) {
    std::vector<const text*> names;
    std::vector<ub4> lengths;
    for (const char* n : path) {
      names.push_back(T(n));
      lengths.push_back(static_cast<ub4>(std::strlen(n)));
    }
    OCIInd status = 0;
    dvoid* ind = nullptr;
    dvoid* value = nullptr;
    OCIType* attrType = nullptr;
    EXPECT_EQ(
        oci.OCIObjectGetAttr(env, err, inst, nullptr, nullptr, names.data(), lengths.data(),
                             static_cast<ub4>(names.size()), nullptr, 0, &status, &ind, &value, &attrType),
        OCI_SUCCESS)
        << conn->Message();
    return {static_cast<size_t>(static_cast<char*>(value) - static_cast<char*>(inst)),
            static_cast<size_t>(static_cast<sb2*>(ind) - Nulls(inst))};
  }

  static void* PtrAt(void* inst, size_t off) {
    void* p = nullptr;
    std::memcpy(&p, static_cast<char*>(inst) + off, sizeof p);
    return p;
  }
  std::string TextAt(void* inst, size_t off) {
    text* s = oci.OCIStringPtr(env, static_cast<OCIString*>(PtrAt(inst, off)));
    return s ? reinterpret_cast<char*>(s) : "<none>";
  }
  long long IntAt(void* inst, size_t off) {
    long long v = -999;
    EXPECT_EQ(oci.OCINumberToInt(err, reinterpret_cast<OCINumber*>(static_cast<char*>(inst) + off), sizeof v,
                                 OCI_NUMBER_SIGNED, &v),
              OCI_SUCCESS)
        << conn->Message();
    return v;
  }
  void SetText(void* inst, size_t off, const char* v) {
    auto** cell = reinterpret_cast<OCIString**>(static_cast<char*>(inst) + off);
    ASSERT_EQ(oci.OCIStringAssignText(env, err, T(v), static_cast<ub4>(std::strlen(v)), cell), OCI_SUCCESS);
  }
  void SetInt(void* inst, size_t off, long long v) {
    ASSERT_EQ(oci.OCINumberFromInt(err, &v, sizeof v, OCI_NUMBER_SIGNED,
                                   reinterpret_cast<OCINumber*>(static_cast<char*>(inst) + off)),
              OCI_SUCCESS);
  }

  // Types of the tests: an address, a phone list, a department and a person using them.
  void MakeTypes() {
    Exec("create type address_t as object (street varchar2(30), no number(4))");
    Exec("create type phones_t as varray(3) of varchar2(20)");
    Exec("create type tags_t as table of number");
    Exec("create type dept_t as object (deptno number(2), dname varchar2(14))");
    Exec(
        "create type person_t as object (id number(5), name varchar2(10), born date, addr address_t, "
        "phones phones_t, photo raw(16), note clob, seen timestamp, dept ref dept_t)");
  }

  OCIError* err = nullptr;
  OCISvcCtx* svc = nullptr;
};

TEST_F(OciObjectTest, InstancesAreLaidOutByTheCellRule) {
  Exec("create type layout_t as object (n number(5), s varchar2(10), d date)");
  void* a = New(TypeOf("LAYOUT_T"));
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(Place(a, {"N"}), std::make_pair(size_t{0}, size_t{1}));
  EXPECT_EQ(Place(a, {"S"}), std::make_pair(size_t{24}, size_t{2}));  // 22 rounded up for the pointer
  EXPECT_EQ(Place(a, {"D"}), std::make_pair(size_t{32}, size_t{3}));
  sb2* nulls = Nulls(a);
  EXPECT_EQ(nulls[0], OCI_IND_NOTNULL);  // a new object exists, its attributes are null
  EXPECT_EQ(nulls[1], OCI_IND_NULL);
  EXPECT_EQ(nulls[3], OCI_IND_NULL);

  // Inside an embedded object a pointer cell is aligned from the embedded object's start.
  Exec("create type inner_t as object (s varchar2(5), n number)");
  Exec("create type outer_t as object (n number, i inner_t, d date)");
  void* o = New(TypeOf("OUTER_T"));
  EXPECT_EQ(Place(o, {"N"}), std::make_pair(size_t{0}, size_t{1}));
  EXPECT_EQ(Place(o, {"I"}), std::make_pair(size_t{22}, size_t{2}));
  EXPECT_EQ(Place(o, {"I", "S"}), std::make_pair(size_t{22}, size_t{3}));
  EXPECT_EQ(Place(o, {"I", "N"}), std::make_pair(size_t{22 + P}, size_t{4}));
  EXPECT_EQ(Place(o, {"D"}), std::make_pair(size_t{22 + P + 22}, size_t{5}));
  Exec("create type inner2_t as object (n number, s varchar2(3))");
  Exec("create type mixed_t as object (n number, e inner2_t)");
  void* m = New(TypeOf("MIXED_T"));
  EXPECT_EQ(Place(m, {"E"}).first, 22u);
  EXPECT_EQ(Place(m, {"E", "N"}).first, 22u);
  EXPECT_EQ(Place(m, {"E", "S"}), std::make_pair(size_t{22 + 24}, size_t{4}));  // 22 from the start of E

  // Deeper, and back at the top level the count is from the instance's start again.
  Exec("create type deep_t as object (a number, o outer_t, t varchar2(1))");
  void* d = New(TypeOf("DEEP_T"));
  EXPECT_EQ(Place(d, {"O"}).first, 22u);
  EXPECT_EQ(Place(d, {"O", "N"}).first, 22u);
  EXPECT_EQ(Place(d, {"O", "I"}), std::make_pair(size_t{44}, size_t{4}));
  EXPECT_EQ(Place(d, {"O", "I", "S"}).first, 44u);
  EXPECT_EQ(Place(d, {"O", "I", "N"}).first, 44u + P);
  EXPECT_EQ(Place(d, {"O", "D"}), std::make_pair(size_t{44 + P + 22}, size_t{7}));
  EXPECT_EQ(Place(d, {"T"}), std::make_pair(size_t{88}, size_t{8}));  // 82 rounded up
  // Values go into unaligned cells and come back.
  SetText(d, 44, "x");
  EXPECT_EQ(TextAt(d, 44), "x");

  // Attribute values written through the cells read back through the object calls.
  SetInt(a, 0, 12345);
  SetText(a, 24, "text");
  nulls[1] = nulls[2] = OCI_IND_NOTNULL;
  OCIInd status = -5;
  dvoid* value = nullptr;
  const text* name[] = {T("s")};
  ub4 len[] = {1};
  ASSERT_EQ(oci.OCIObjectGetAttr(env, err, a, nulls, nullptr, name, len, 1, nullptr, 0, &status, nullptr,
                                 &value, nullptr),
            OCI_SUCCESS);
  EXPECT_EQ(status, OCI_IND_NOTNULL);
  EXPECT_EQ(TextAt(a, 24), "text");
  EXPECT_EQ(IntAt(a, 0), 12345);
  const text* unknown[] = {T("nope")};
  ub4 unknownLen[] = {4};
  EXPECT_EQ(oci.OCIObjectGetAttr(env, err, a, nulls, nullptr, unknown, unknownLen, 1, nullptr, 0, &status,
                                 nullptr, &value, nullptr),
            OCI_ERROR);
  EXPECT_EQ(Code(), 904);

  // OCIObjectSetAttr takes the value itself; null clears the indicator.
  OCIString* s = nullptr;
  ASSERT_EQ(oci.OCIStringAssignText(env, err, T("other"), 5, &s), OCI_SUCCESS);
  ASSERT_EQ(oci.OCIObjectSetAttr(env, err, a, nulls, nullptr, name, len, 1, nullptr, 0, OCI_IND_NOTNULL,
                                 nullptr, s),
            OCI_SUCCESS);
  EXPECT_EQ(TextAt(a, 24), "other");
  ASSERT_EQ(oci.OCIObjectSetAttr(env, err, a, nulls, nullptr, name, len, 1, nullptr, 0, OCI_IND_NULL, nullptr,
                                 nullptr),
            OCI_SUCCESS);
  EXPECT_EQ(nulls[2], OCI_IND_NULL);
  EXPECT_EQ(oci.OCIObjectFree(env, err, a, 0), OCI_SUCCESS);
  EXPECT_EQ(oci.OCIObjectGetInd(env, err, a, reinterpret_cast<dvoid**>(&nulls)), OCI_ERROR);  // freed
}

TEST_F(OciObjectTest, TypesAreDescribedThroughParameters) {
  MakeTypes();
  OCIDescribe* dsc = nullptr;
  ASSERT_EQ(oci.OCIHandleAlloc(env, reinterpret_cast<dvoid**>(&dsc), OCI_HTYPE_DESCRIBE, 0, nullptr),
            OCI_SUCCESS);
  ASSERT_EQ(
      oci.OCIDescribeAny(svc, err, const_cast<char*>("PERSON_T"), 8, OCI_OTYPE_NAME, 0, OCI_PTYPE_TYPE, dsc),
      OCI_SUCCESS)
      << conn->Message();
  OCIParam* type = nullptr;
  ASSERT_EQ(oci.OCIAttrGet(dsc, OCI_HTYPE_DESCRIBE, &type, nullptr, OCI_ATTR_PARAM, err), OCI_SUCCESS);
  ub2 code = 0, count = 0;
  ub1 final = 0;
  ASSERT_EQ(oci.OCIAttrGet(type, OCI_DTYPE_PARAM, &code, nullptr, OCI_ATTR_TYPECODE, err), OCI_SUCCESS);
  EXPECT_EQ(code, OCI_TYPECODE_OBJECT);
  ASSERT_EQ(oci.OCIAttrGet(type, OCI_DTYPE_PARAM, &count, nullptr, OCI_ATTR_NUM_TYPE_ATTRS, err),
            OCI_SUCCESS);
  EXPECT_EQ(count, 9);
  ASSERT_EQ(oci.OCIAttrGet(type, OCI_DTYPE_PARAM, &final, nullptr, OCI_ATTR_IS_FINAL_TYPE, err), OCI_SUCCESS);
  EXPECT_EQ(final, 1);
  OCIRef* typeRef = nullptr;
  ASSERT_EQ(oci.OCIAttrGet(type, OCI_DTYPE_PARAM, &typeRef, nullptr, OCI_ATTR_REF_TDO, err), OCI_SUCCESS);
  void* pinned = nullptr;
  ASSERT_EQ(
      oci.OCIObjectPin(env, err, typeRef, nullptr, OCI_PIN_ANY, OCI_DURATION_SESSION, OCI_LOCK_NONE, &pinned),
      OCI_SUCCESS);
  EXPECT_EQ(pinned, TypeOf("PERSON_T"));  // one descriptor per type
  EXPECT_EQ(oci.OCIObjectUnpin(env, err, pinned), OCI_SUCCESS);
  // Freeing the type's REF or the type leaves both usable: they belong to the environment.
  EXPECT_EQ(oci.OCIObjectFree(env, err, typeRef, 0), OCI_SUCCESS);
  EXPECT_EQ(oci.OCIObjectFree(env, err, pinned, 0), OCI_SUCCESS);
  ASSERT_EQ(
      oci.OCIObjectPin(env, err, typeRef, nullptr, OCI_PIN_ANY, OCI_DURATION_SESSION, OCI_LOCK_NONE, &pinned),
      OCI_SUCCESS);

  OCIParam* list = nullptr;
  ASSERT_EQ(oci.OCIAttrGet(type, OCI_DTYPE_PARAM, &list, nullptr, OCI_ATTR_LIST_TYPE_ATTRS, err),
            OCI_SUCCESS);
  const char* names[] = {"ID", "NAME", "BORN", "ADDR", "PHONES", "PHOTO", "NOTE", "SEEN", "DEPT"};
  const ub2 types[] = {2, 9, 12, 108, 108, 23, 112, 187, 110};
  for (ub4 i = 1; i <= count; ++i) {
    OCIParam* a = nullptr;
    ASSERT_EQ(oci.OCIParamGet(list, OCI_DTYPE_PARAM, err, reinterpret_cast<dvoid**>(&a), i), OCI_SUCCESS);
    text* name = nullptr;
    ub4 nameLen = 0;
    ub2 dataType = 0;
    ASSERT_EQ(oci.OCIAttrGet(a, OCI_DTYPE_PARAM, &name, &nameLen, OCI_ATTR_NAME, err), OCI_SUCCESS);
    ASSERT_EQ(oci.OCIAttrGet(a, OCI_DTYPE_PARAM, &dataType, nullptr, OCI_ATTR_DATA_TYPE, err), OCI_SUCCESS);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(name), nameLen), names[i - 1]);
    EXPECT_EQ(dataType, types[i - 1]) << names[i - 1];
  }
  OCIParam* id = nullptr;
  OCIParam* addr = nullptr;
  OCIParam* phones = nullptr;
  OCIParam* dept = nullptr;
  oci.OCIParamGet(list, OCI_DTYPE_PARAM, err, reinterpret_cast<dvoid**>(&id), 1);
  oci.OCIParamGet(list, OCI_DTYPE_PARAM, err, reinterpret_cast<dvoid**>(&addr), 4);
  oci.OCIParamGet(list, OCI_DTYPE_PARAM, err, reinterpret_cast<dvoid**>(&phones), 5);
  oci.OCIParamGet(list, OCI_DTYPE_PARAM, err, reinterpret_cast<dvoid**>(&dept), 9);
  sb2 precision = 0;
  sb1 scale = -1;
  ASSERT_EQ(oci.OCIAttrGet(id, OCI_DTYPE_PARAM, &precision, nullptr, OCI_ATTR_PRECISION, err), OCI_SUCCESS);
  ASSERT_EQ(oci.OCIAttrGet(id, OCI_DTYPE_PARAM, &scale, nullptr, OCI_ATTR_SCALE, err), OCI_SUCCESS);
  EXPECT_EQ(precision, 5);
  EXPECT_EQ(scale, 0);
  text* tn = nullptr;
  ub4 tnLen = 0;
  ASSERT_EQ(oci.OCIAttrGet(addr, OCI_DTYPE_PARAM, &tn, &tnLen, OCI_ATTR_TYPE_NAME, err), OCI_SUCCESS);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(tn), tnLen), "ADDRESS_T");
  ASSERT_EQ(oci.OCIAttrGet(addr, OCI_DTYPE_PARAM, &tn, &tnLen, OCI_ATTR_SCHEMA_NAME, err), OCI_SUCCESS);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(tn), tnLen), "SCOTT");
  ASSERT_EQ(oci.OCIAttrGet(addr, OCI_DTYPE_PARAM, &code, nullptr, OCI_ATTR_TYPECODE, err), OCI_SUCCESS);
  EXPECT_EQ(code, OCI_TYPECODE_OBJECT);
  ASSERT_EQ(oci.OCIAttrGet(phones, OCI_DTYPE_PARAM, &code, nullptr, OCI_ATTR_TYPECODE, err), OCI_SUCCESS);
  EXPECT_EQ(code, OCI_TYPECODE_NAMEDCOLLECTION);
  ASSERT_EQ(oci.OCIAttrGet(addr, OCI_DTYPE_PARAM, &typeRef, nullptr, OCI_ATTR_REF_TDO, err), OCI_SUCCESS);
  ASSERT_EQ(oci.OCIObjectPin(env, err, typeRef, nullptr, OCI_PIN_ANY, 10, OCI_LOCK_NONE, &pinned),
            OCI_SUCCESS);
  EXPECT_EQ(pinned, TypeOf("ADDRESS_T"));
  ASSERT_EQ(oci.OCIAttrGet(dept, OCI_DTYPE_PARAM, &typeRef, nullptr, OCI_ATTR_REF_TDO, err), OCI_SUCCESS);
  ASSERT_EQ(oci.OCIObjectPin(env, err, typeRef, nullptr, OCI_PIN_ANY, 10, OCI_LOCK_NONE, &pinned),
            OCI_SUCCESS);
  EXPECT_EQ(pinned, TypeOf("DEPT_T"));  // a REF attribute's type is the one it points at

  // A collection type: its collection type code and its element.
  ASSERT_EQ(oci.OCIDescribeAny(svc, err, const_cast<char*>("scott.phones_t"), 14, OCI_OTYPE_NAME, 0,
                               OCI_PTYPE_TYPE, dsc),
            OCI_SUCCESS);
  ASSERT_EQ(oci.OCIAttrGet(dsc, OCI_HTYPE_DESCRIBE, &type, nullptr, OCI_ATTR_PARAM, err), OCI_SUCCESS);
  ASSERT_EQ(oci.OCIAttrGet(type, OCI_DTYPE_PARAM, &code, nullptr, OCI_ATTR_TYPECODE, err), OCI_SUCCESS);
  EXPECT_EQ(code, OCI_TYPECODE_NAMEDCOLLECTION);
  ASSERT_EQ(oci.OCIAttrGet(type, OCI_DTYPE_PARAM, &code, nullptr, OCI_ATTR_COLLECTION_TYPECODE, err),
            OCI_SUCCESS);
  EXPECT_EQ(code, OCI_TYPECODE_VARRAY);
  OCIParam* elem = nullptr;
  ASSERT_EQ(oci.OCIAttrGet(type, OCI_DTYPE_PARAM, &elem, nullptr, OCI_ATTR_COLLECTION_ELEMENT, err),
            OCI_SUCCESS);
  ub2 size = 0, dataType = 0;
  ASSERT_EQ(oci.OCIAttrGet(elem, OCI_DTYPE_PARAM, &dataType, nullptr, OCI_ATTR_DATA_TYPE, err), OCI_SUCCESS);
  ASSERT_EQ(oci.OCIAttrGet(elem, OCI_DTYPE_PARAM, &size, nullptr, OCI_ATTR_DATA_SIZE, err), OCI_SUCCESS);
  EXPECT_EQ(dataType, SQLT_VCS);
  EXPECT_EQ(size, 20);

  ASSERT_EQ(oci.OCIDescribeAny(svc, err, const_cast<char*>("SYS.XMLTYPE"), 11, OCI_OTYPE_NAME, 0,
                               OCI_PTYPE_TYPE, dsc),
            OCI_SUCCESS)
      << conn->Message();
  ASSERT_EQ(oci.OCIAttrGet(dsc, OCI_HTYPE_DESCRIBE, &type, nullptr, OCI_ATTR_PARAM, err), OCI_SUCCESS);
  ASSERT_EQ(oci.OCIAttrGet(type, OCI_DTYPE_PARAM, &code, nullptr, OCI_ATTR_TYPECODE, err), OCI_SUCCESS);
  EXPECT_EQ(code, OCI_TYPECODE_OPAQUE);

  EXPECT_EQ(
      oci.OCIDescribeAny(svc, err, const_cast<char*>("NO_SUCH_T"), 9, OCI_OTYPE_NAME, 0, OCI_PTYPE_TYPE, dsc),
      OCI_ERROR);
  EXPECT_EQ(Code(), 4043);
  oci.OCIHandleFree(dsc, OCI_HTYPE_DESCRIBE);
}

TEST_F(OciObjectTest, CollectionsAppendTrimAssignAndDelete) {
  MakeTypes();
  auto* phones = static_cast<OCIColl*>(New(TypeOf("PHONES_T")));
  ASSERT_NE(phones, nullptr);
  EXPECT_EQ(oci.OCICollMax(env, phones), 3);
  sb4 size = -1;
  EXPECT_EQ(CollSize(phones), 0);
  OCIString* s = nullptr;
  OCIInd notNull = OCI_IND_NOTNULL, isNull = OCI_IND_NULL;
  for (const char* v : {"111", "222", "333"}) {
    ASSERT_EQ(oci.OCIStringAssignText(env, err, T(v), 3, &s), OCI_SUCCESS);
    ASSERT_EQ(oci.OCICollAppend(env, err, s, &notNull, phones), OCI_SUCCESS) << conn->Message();
  }
  EXPECT_EQ(oci.OCICollAppend(env, err, s, &notNull, phones), OCI_ERROR);  // a VARRAY(3) is full
  EXPECT_EQ(Code(), 22909);
  EXPECT_EQ(CollSize(phones), 3);

  boolean exists = FALSE;
  dvoid* elem = nullptr;
  dvoid* ind = nullptr;
  ASSERT_EQ(oci.OCICollGetElem(env, err, phones, 1, &exists, &elem, &ind), OCI_SUCCESS);
  ASSERT_TRUE(exists);
  auto* cell = static_cast<OCIString**>(elem);  // the element's cell holds the OCIString*
  EXPECT_STREQ(reinterpret_cast<char*>(oci.OCIStringPtr(env, *cell)), "222");
  EXPECT_EQ(*static_cast<OCIInd*>(ind), OCI_IND_NOTNULL);
  // Assigning takes a copy; the cell of another element is accepted as the value too.
  ASSERT_EQ(oci.OCIStringAssignText(env, err, T("999"), 3, &s), OCI_SUCCESS);
  ASSERT_EQ(oci.OCICollAssignElem(env, err, 0, s, &notNull, phones), OCI_SUCCESS);
  ASSERT_EQ(oci.OCICollAssignElem(env, err, 2, cell, &notNull, phones), OCI_SUCCESS);
  ASSERT_EQ(oci.OCICollAssignElem(env, err, 1, s, &isNull, phones), OCI_SUCCESS);
  ASSERT_EQ(oci.OCIStringAssignText(env, err, T("000"), 3, &s), OCI_SUCCESS);
  ASSERT_EQ(oci.OCICollGetElem(env, err, phones, 0, &exists, &elem, &ind), OCI_SUCCESS);
  EXPECT_STREQ(reinterpret_cast<char*>(oci.OCIStringPtr(env, *static_cast<OCIString**>(elem))), "999");
  ASSERT_EQ(oci.OCICollGetElem(env, err, phones, 2, &exists, &elem, &ind), OCI_SUCCESS);
  EXPECT_STREQ(reinterpret_cast<char*>(oci.OCIStringPtr(env, *static_cast<OCIString**>(elem))), "222");
  ASSERT_EQ(oci.OCICollGetElem(env, err, phones, 1, &exists, &elem, &ind), OCI_SUCCESS);
  EXPECT_EQ(*static_cast<OCIInd*>(ind), OCI_IND_NULL);
  EXPECT_EQ(oci.OCICollAssignElem(env, err, 3, s, &notNull, phones), OCI_ERROR);
  EXPECT_EQ(Code(), 22165);
  ASSERT_EQ(oci.OCICollGetElem(env, err, phones, 7, &exists, &elem, &ind), OCI_SUCCESS);
  EXPECT_FALSE(exists);
  EXPECT_EQ(elem, nullptr);

  EXPECT_EQ(oci.OCICollTrim(env, err, 4, phones), OCI_ERROR);
  EXPECT_EQ(Code(), 22167);
  ASSERT_EQ(oci.OCICollTrim(env, err, 2, phones), OCI_SUCCESS);
  EXPECT_EQ(CollSize(phones), 1);
  EXPECT_EQ(oci.OCITableDelete(env, err, 0, phones), OCI_ERROR);  // only nested tables have holes

  // A nested table of numbers: delete leaves a hole, the size stays.
  auto* tags = static_cast<OCIColl*>(New(TypeOf("TAGS_T")));
  EXPECT_EQ(oci.OCICollMax(env, tags), 0);
  for (long long v : {10, 20, 30}) {
    OCINumber n{};
    ASSERT_EQ(oci.OCINumberFromInt(err, &v, sizeof v, OCI_NUMBER_SIGNED, &n), OCI_SUCCESS);
    ASSERT_EQ(oci.OCICollAppend(env, err, &n, nullptr, tags), OCI_SUCCESS);
  }
  ASSERT_EQ(oci.OCITableDelete(env, err, 1, tags), OCI_SUCCESS);
  EXPECT_EQ(oci.OCITableDelete(env, err, 1, tags), OCI_ERROR);
  EXPECT_EQ(Code(), 22160);
  ASSERT_EQ(oci.OCICollGetElem(env, err, tags, 1, &exists, &elem, &ind), OCI_SUCCESS);
  EXPECT_FALSE(exists);
  ASSERT_EQ(oci.OCICollGetElem(env, err, tags, 2, &exists, &elem, &ind), OCI_SUCCESS);
  ASSERT_TRUE(exists);
  long long v = 0;
  ASSERT_EQ(oci.OCINumberToInt(err, static_cast<OCINumber*>(elem), sizeof v, OCI_NUMBER_SIGNED, &v),
            OCI_SUCCESS);
  EXPECT_EQ(v, 30);
  EXPECT_EQ(CollSize(tags), 3);
  // Elements of the wrong kind are refused.
  EXPECT_EQ(oci.OCICollAppend(env, err, nullptr, nullptr, tags), OCI_ERROR);
  EXPECT_EQ(oci.OCICollAppend(env, err, s, &notNull, phones), OCI_SUCCESS);
  EXPECT_EQ(oci.OCIObjectFree(env, err, phones, 0), OCI_SUCCESS);
  EXPECT_EQ(oci.OCICollSize(env, err, phones, &size), OCI_ERROR);
}

TEST_F(OciObjectTest, ObjectAndRefColumnsFetchInArrays) {
  MakeTypes();
  Exec("create table depts of dept_t");
  Exec("insert into depts values (10, 'ACCOUNTING')");
  Exec("create table staff (id number(5), person person_t, d ref dept_t)");
  Exec(
      "insert into staff select 1, person_t(7, 'Ann', to_date('2001-02-03', 'YYYY-MM-DD'), "
      "address_t('Main St', 12), phones_t('555', '556'), hextoraw('0A0B'), 'a note', "
      "to_date('2020-01-02 03:04:05', 'YYYY-MM-DD HH24:MI:SS'), ref(x)), ref(x) "
      "from depts x where deptno = 10");
  Exec("insert into staff values (2, null, null)");
  Exec("insert into staff values (3, person_t(null, null, null, null, null, null, null, null, null), null)");
  OCIStmt* st = conn->Prepare("select person, d from staff order by id");
  ASSERT_EQ(conn->Execute(st, 0), OCI_SUCCESS) << conn->Message();
  OCIParam* col = nullptr;
  ASSERT_EQ(oci.OCIParamGet(st, OCI_HTYPE_STMT, err, reinterpret_cast<dvoid**>(&col), 1), OCI_SUCCESS);
  ub2 dataType = 0;
  OCIRef* typeRef = nullptr;
  ASSERT_EQ(oci.OCIAttrGet(col, OCI_DTYPE_PARAM, &dataType, nullptr, OCI_ATTR_DATA_TYPE, err), OCI_SUCCESS);
  EXPECT_EQ(dataType, SQLT_NTY);
  ASSERT_EQ(oci.OCIAttrGet(col, OCI_DTYPE_PARAM, &typeRef, nullptr, OCI_ATTR_REF_TDO, err), OCI_SUCCESS)
      << conn->Message();
  OCIType* personType = nullptr;
  ASSERT_EQ(oci.OCIObjectPin(env, err, typeRef, nullptr, OCI_PIN_ANY, 10, OCI_LOCK_NONE,
                             reinterpret_cast<dvoid**>(&personType)),
            OCI_SUCCESS);
  text* tn = nullptr;
  ub4 tnLen = 0;
  ASSERT_EQ(oci.OCIAttrGet(col, OCI_DTYPE_PARAM, &tn, &tnLen, OCI_ATTR_TYPE_NAME, err), OCI_SUCCESS);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(tn), tnLen), "PERSON_T");
  OCIParam* refCol = nullptr;
  ASSERT_EQ(oci.OCIParamGet(st, OCI_HTYPE_STMT, err, reinterpret_cast<dvoid**>(&refCol), 2), OCI_SUCCESS);
  ASSERT_EQ(oci.OCIAttrGet(refCol, OCI_DTYPE_PARAM, &dataType, nullptr, OCI_ATTR_DATA_TYPE, err),
            OCI_SUCCESS);
  EXPECT_EQ(dataType, SQLT_REF);

  void* values[3] = {};
  void* nulls[3] = {};
  sb2 ind[3] = {5, 5, 5};
  OCIRef* refs[3] = {};
  sb2 refInd[3] = {5, 5, 5};
  OCIDefine* d1 = nullptr;
  OCIDefine* d2 = nullptr;
  ASSERT_EQ(oci.OCIDefineByPos(st, &d1, err, 1, values, P, SQLT_NTY, ind, nullptr, nullptr, OCI_DEFAULT),
            OCI_SUCCESS);
  ASSERT_EQ(oci.OCIDefineObject(d1, err, personType, values, nullptr, nulls, nullptr), OCI_SUCCESS);
  ASSERT_EQ(oci.OCIDefineByPos(st, &d2, err, 2, refs, P, SQLT_REF, refInd, nullptr, nullptr, OCI_DEFAULT),
            OCI_SUCCESS);
  ASSERT_EQ(oci.OCIDefineObject(d2, err, nullptr, reinterpret_cast<dvoid**>(refs), nullptr, nullptr, nullptr),
            OCI_SUCCESS);
  ASSERT_EQ(oci.OCIStmtFetch2(st, err, 3, OCI_FETCH_NEXT, 0, OCI_DEFAULT), OCI_SUCCESS) << conn->Message();
  EXPECT_EQ(ind[0], 0);
  EXPECT_EQ(ind[1], -1);
  EXPECT_EQ(ind[2], 0);
  EXPECT_EQ(refInd[0], 0);
  EXPECT_EQ(refInd[1], -1);
  for (int r = 0; r < 3; ++r) {
    ASSERT_NE(values[r], nullptr) << r;
    ASSERT_EQ(nulls[r], Nulls(values[r])) << r;
  }
  // Row 1: id 0, name 24, born 32, addr 40 (street 40, no 48), phones 72, photo 80, note 88, seen 96,
  // dept 104; null entries: id 1 ... addr 4 (street 5, no 6), phones 7 ... dept 11.
  void* p = values[0];
  auto* n = static_cast<sb2*>(nulls[0]);
  EXPECT_EQ(n[0], 0);
  EXPECT_EQ(IntAt(p, 0), 7);
  EXPECT_EQ(TextAt(p, 24), "Ann");
  OCIDate born;
  std::memcpy(&born, static_cast<char*>(p) + 32, sizeof born);
  EXPECT_EQ(born.OCIDateYYYY, 2001);
  EXPECT_EQ(born.OCIDateMM, 2);
  EXPECT_EQ(born.OCIDateDD, 3);
  EXPECT_EQ(TextAt(p, 40), "Main St");
  EXPECT_EQ(IntAt(p, 48), 12);
  auto* phones = static_cast<OCIColl*>(PtrAt(p, 72));
  EXPECT_EQ(CollSize(phones), 2);
  auto* photo = static_cast<OCIRaw*>(PtrAt(p, 80));
  ASSERT_EQ(oci.OCIRawSize(env, photo), 2u);
  EXPECT_EQ(oci.OCIRawPtr(env, photo)[1], 0x0B);
  auto* note = static_cast<OCILobLocator*>(PtrAt(p, 88));
  char buf[32] = {};
  ub4 amount = sizeof buf;
  ASSERT_EQ(oci.OCILobRead(svc, err, note, &amount, 1, buf, sizeof buf, nullptr, nullptr, 0, 1), OCI_SUCCESS);
  EXPECT_EQ(std::string(buf, amount), "a note");
  auto* seen = static_cast<OCIDateTime*>(PtrAt(p, 96));
  ub1 hh = 0, mi = 0, ss = 0;
  ub4 fs = 0;
  ASSERT_EQ(oci.OCIDateTimeGetTime(env, err, seen, &hh, &mi, &ss, &fs), OCI_SUCCESS);
  EXPECT_EQ(mi, 4);
  EXPECT_EQ(ss, 5);
  EXPECT_FALSE(oci.OCIRefIsNull(env, static_cast<OCIRef*>(PtrAt(p, 104))));
  for (int k = 1; k <= 11; ++k) EXPECT_EQ(n[k], 0) << k;
  // Row 2 is a null object; row 3 an object whose attributes are null.
  EXPECT_EQ(static_cast<sb2*>(nulls[1])[0], -1);
  EXPECT_EQ(static_cast<sb2*>(nulls[2])[0], 0);
  for (int k = 1; k <= 11; ++k) EXPECT_EQ(static_cast<sb2*>(nulls[2])[k], -1) << k;

  // The REF column pins to the department.
  void* deptObj = nullptr;
  ASSERT_EQ(oci.OCIObjectPin(env, err, refs[0], nullptr, OCI_PIN_ANY, 10, OCI_LOCK_NONE, &deptObj),
            OCI_SUCCESS)
      << conn->Message();
  EXPECT_EQ(IntAt(deptObj, 0), 10);
  EXPECT_EQ(TextAt(deptObj, 24), "ACCOUNTING");
  void* again = nullptr;
  ASSERT_EQ(oci.OCIObjectPin(env, err, refs[0], nullptr, OCI_PIN_ANY, 10, OCI_LOCK_NONE, &again),
            OCI_SUCCESS);
  EXPECT_EQ(again, deptObj);  // the cache holds one copy per object
  EXPECT_TRUE(oci.OCIRefIsNull(env, refs[1]));

  // A second fetch reuses the rows' instances.
  void* first = values[0];
  ASSERT_EQ(conn->Execute(st, 0), OCI_SUCCESS);
  ASSERT_EQ(oci.OCIStmtFetch2(st, err, 1, OCI_FETCH_NEXT, 0, OCI_DEFAULT), OCI_SUCCESS);
  EXPECT_EQ(values[0], first);
  EXPECT_EQ(TextAt(first, 24), "Ann");
  oci.OCIHandleFree(st, OCI_HTYPE_STMT);
}

TEST_F(OciObjectTest, AttributesHeldByPointerHaveInstancesOfTheirOwn) {
  MakeTypes();
  Exec("create type base_t as object (n number, s varchar2(5)) not final");
  Exec("create type addrs_t as table of address_t");
  Exec("create type holder_t as object (id number, b base_t, x sys.xmltype, homes addrs_t, tags tags_t)");
  OCIStmt* st = conn->Prepare(
      "select holder_t(1, base_t(5, 'five'), xmltype('<r/>'), addrs_t(address_t('A', 1), address_t('B', 2)), "
      "tags_t(7, null, 9)) from dual");
  OCIType* type = TypeOf("HOLDER_T");
  void* h = nullptr;
  void* hNulls = nullptr;
  OCIDefine* def = nullptr;
  ASSERT_EQ(oci.OCIDefineByPos(st, &def, err, 1, &h, P, SQLT_NTY, nullptr, nullptr, nullptr, OCI_DEFAULT),
            OCI_SUCCESS);
  ASSERT_EQ(oci.OCIDefineObject(def, err, type, &h, nullptr, &hNulls, nullptr), OCI_SUCCESS);
  ASSERT_EQ(conn->Execute(st), OCI_SUCCESS) << conn->Message();
  oci.OCIHandleFree(st, OCI_HTYPE_STMT);
  ASSERT_NE(h, nullptr);
  // id 0, then one pointer each at 24, 32, 40, 48; one indicator each (1 .. 5).
  EXPECT_EQ(Place(h, {"B"}), std::make_pair(size_t{24}, size_t{2}));
  EXPECT_EQ(Place(h, {"TAGS"}), std::make_pair(size_t{48}, size_t{5}));
  auto* n = static_cast<sb2*>(hNulls);
  for (int k = 0; k <= 5; ++k) EXPECT_EQ(n[k], 0) << k;
  void* b = PtrAt(h, 24);
  // A path through the NOT FINAL object leads into its own instance.
  const text* path[] = {T("B"), T("S")};
  ub4 lengths[] = {1, 1};
  dvoid* cell = nullptr;
  ASSERT_EQ(oci.OCIObjectGetAttr(env, err, h, hNulls, type, path, lengths, 2, nullptr, 0, nullptr, nullptr,
                                 &cell, nullptr),
            OCI_SUCCESS);
  EXPECT_EQ(cell, static_cast<char*>(b) + 24);
  EXPECT_EQ(IntAt(b, 0), 5);
  EXPECT_EQ(TextAt(b, 24), "five");
  EXPECT_EQ(Nulls(b)[2], 0);
  void* x = PtrAt(h, 32);
  dvoid* xNulls = nullptr;
  ASSERT_EQ(oci.OCIObjectGetInd(env, err, x, &xNulls), OCI_SUCCESS);
  EXPECT_EQ(static_cast<sb2*>(xNulls)[0], 0);

  auto* homes = static_cast<OCIColl*>(PtrAt(h, 40));
  sb4 size = 0;
  EXPECT_EQ(CollSize(homes), 2);
  boolean exists = FALSE;
  dvoid* elem = nullptr;
  dvoid* ind = nullptr;
  ASSERT_EQ(oci.OCICollGetElem(env, err, homes, 1, &exists, &elem, &ind), OCI_SUCCESS);
  ASSERT_TRUE(exists);
  EXPECT_EQ(TextAt(elem, 0), "B");  // an object element is an instance laid out by the rule
  EXPECT_EQ(IntAt(elem, P), 2);
  EXPECT_EQ(static_cast<sb2*>(ind)[0], 0);
  EXPECT_EQ(static_cast<sb2*>(ind)[2], 0);
  // Appending an object element copies it from an instance of the element type.
  void* a = New(TypeOf("ADDRESS_T"));
  SetText(a, 0, "C");
  SetInt(a, P, 3);
  Nulls(a)[1] = Nulls(a)[2] = OCI_IND_NOTNULL;
  ASSERT_EQ(oci.OCICollAppend(env, err, a, Nulls(a), homes), OCI_SUCCESS) << conn->Message();
  ASSERT_EQ(oci.OCICollGetElem(env, err, homes, 2, &exists, &elem, &ind), OCI_SUCCESS);
  EXPECT_EQ(TextAt(elem, 0), "C");
  auto* tags = static_cast<OCIColl*>(PtrAt(h, 48));
  ASSERT_EQ(oci.OCICollGetElem(env, err, tags, 1, &exists, &elem, &ind), OCI_SUCCESS);
  ASSERT_TRUE(exists);
  EXPECT_EQ(*static_cast<OCIInd*>(ind), OCI_IND_NULL);

  // The whole value goes back to the server as it is now, and returns the same.
  Exec("create table hold (id number, h holder_t)");
  OCIStmt* ins = conn->Prepare("insert into hold values (1, :h)");
  OCIBind* bind = nullptr;
  ASSERT_EQ(oci.OCIBindByName(ins, &bind, err, T(":h"), -1, &h, P, SQLT_NTY, nullptr, nullptr, nullptr, 0,
                              nullptr, OCI_DEFAULT),
            OCI_SUCCESS);
  ASSERT_EQ(oci.OCIBindObject(bind, err, type, &h, nullptr, &hNulls, nullptr), OCI_SUCCESS);
  ASSERT_EQ(conn->Execute(ins), OCI_SUCCESS) << conn->Message();
  oci.OCIHandleFree(ins, OCI_HTYPE_STMT);
  OCIStmt* sel = conn->Prepare("select h from hold");
  void* back = nullptr;
  ASSERT_EQ(oci.OCIDefineByPos(sel, &def, err, 1, &back, P, SQLT_NTY, nullptr, nullptr, nullptr, OCI_DEFAULT),
            OCI_SUCCESS);
  ASSERT_EQ(oci.OCIDefineObject(def, err, type, &back, nullptr, nullptr, nullptr), OCI_SUCCESS);
  ASSERT_EQ(conn->Execute(sel), OCI_SUCCESS) << conn->Message();
  oci.OCIHandleFree(sel, OCI_HTYPE_STMT);
  ASSERT_NE(back, h);
  EXPECT_EQ(TextAt(PtrAt(back, 24), 24), "five");
  auto* backHomes = static_cast<OCIColl*>(PtrAt(back, 40));
  EXPECT_EQ(CollSize(backHomes), 3);
  ASSERT_EQ(oci.OCICollGetElem(env, err, backHomes, 2, &exists, &elem, &ind), OCI_SUCCESS);
  EXPECT_EQ(TextAt(elem, 0), "C");
  ASSERT_EQ(oci.OCICollGetElem(env, err, static_cast<OCIColl*>(PtrAt(back, 48)), 1, &exists, &elem, &ind),
            OCI_SUCCESS);
  EXPECT_EQ(*static_cast<OCIInd*>(ind), OCI_IND_NULL);
  EXPECT_EQ(oci.OCIObjectFree(env, err, h, 0), OCI_SUCCESS);
  EXPECT_EQ(oci.OCICollSize(env, err, homes, &size), OCI_ERROR);  // freed with its owner
}

TEST_F(OciObjectTest, ObjectsBindInAndOut) {
  MakeTypes();
  Exec("create table homes (id number, addr address_t)");
  OCIType* addrType = TypeOf("ADDRESS_T");
  void* a = New(addrType);
  sb2* n = Nulls(a);
  SetText(a, 0, "Elm Rd");
  SetInt(a, P, 7);
  n[1] = n[2] = OCI_IND_NOTNULL;
  OCIStmt* ins = conn->Prepare("insert into homes values (1, :a)");
  OCIBind* b = nullptr;
  void* inst = a;
  void* ninst = n;
  ASSERT_EQ(oci.OCIBindByName(ins, &b, err, T(":a"), -1, &inst, P, SQLT_NTY, nullptr, nullptr, nullptr, 0,
                              nullptr, OCI_DEFAULT),
            OCI_SUCCESS);
  ASSERT_EQ(oci.OCIBindObject(b, err, addrType, &inst, nullptr, &ninst, nullptr), OCI_SUCCESS);
  ASSERT_EQ(conn->Execute(ins), OCI_SUCCESS) << conn->Message();
  n[0] = OCI_IND_NULL;  // re-executing reads the instance again: now a null object
  ASSERT_EQ(conn->Execute(ins), OCI_SUCCESS) << conn->Message();
  oci.OCIHandleFree(ins, OCI_HTYPE_STMT);
  EXPECT_EQ(conn->Scalar("select count(*) from homes h where h.addr.street = 'Elm Rd' and h.addr.no = 7"), 1);
  EXPECT_EQ(conn->Scalar("select count(*) from homes where addr is null"), 1);

  // Array DML: one instance pointer per iteration.
  void* many[3] = {New(addrType), New(addrType), New(addrType)};
  for (int i = 0; i < 3; ++i) {
    SetText(many[i], 0, "Row");
    SetInt(many[i], P, 100 + i);
    Nulls(many[i])[1] = Nulls(many[i])[2] = OCI_IND_NOTNULL;
  }
  OCIStmt* arr = conn->Prepare("insert into homes values (2, :a)");
  ASSERT_EQ(oci.OCIBindByName(arr, &b, err, T(":a"), -1, many, P, SQLT_NTY, nullptr, nullptr, nullptr, 0,
                              nullptr, OCI_DEFAULT),
            OCI_SUCCESS);
  ASSERT_EQ(oci.OCIBindObject(b, err, addrType, many, nullptr, nullptr, nullptr), OCI_SUCCESS);
  ASSERT_EQ(conn->Execute(arr, 3), OCI_SUCCESS) << conn->Message();
  oci.OCIHandleFree(arr, OCI_HTYPE_STMT);
  EXPECT_EQ(conn->Scalar("select sum(h.addr.no) from homes h where h.id = 2"), 303);

  // OUT: the block's object lands in the program's instance (made when it has none).
  OCIStmt* blk = conn->Prepare("begin :o := address_t('Oak Ave', 99); end;");
  void* out = nullptr;
  void* outNulls = nullptr;
  sb2 ind = 5;
  ASSERT_EQ(oci.OCIBindByName(blk, &b, err, T(":o"), -1, &out, P, SQLT_NTY, &ind, nullptr, nullptr, 0,
                              nullptr, OCI_DEFAULT),
            OCI_SUCCESS);
  ASSERT_EQ(oci.OCIBindObject(b, err, addrType, &out, nullptr, &outNulls, nullptr), OCI_SUCCESS);
  ASSERT_EQ(conn->Execute(blk), OCI_SUCCESS) << conn->Message();
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(ind, 0);
  EXPECT_EQ(outNulls, Nulls(out));
  EXPECT_EQ(TextAt(out, 0), "Oak Ave");
  EXPECT_EQ(IntAt(out, P), 99);
  oci.OCIHandleFree(blk, OCI_HTYPE_STMT);

  // A REF bound in selects the row it names.
  Exec("create table depts of dept_t");
  Exec("insert into depts values (20, 'RESEARCH')");
  OCIStmt* sel = conn->Prepare("select ref(d) from depts d");
  OCIRef* ref = nullptr;
  OCIDefine* def = nullptr;
  ASSERT_EQ(oci.OCIDefineByPos(sel, &def, err, 1, &ref, P, SQLT_REF, nullptr, nullptr, nullptr, OCI_DEFAULT),
            OCI_SUCCESS);
  ASSERT_EQ(
      oci.OCIDefineObject(def, err, nullptr, reinterpret_cast<dvoid**>(&ref), nullptr, nullptr, nullptr),
      OCI_SUCCESS);
  ASSERT_EQ(conn->Execute(sel), OCI_SUCCESS) << conn->Message();
  oci.OCIHandleFree(sel, OCI_HTYPE_STMT);
  OCIStmt* q = conn->Prepare("select d.dname from depts d where ref(d) = :r");
  ASSERT_EQ(oci.OCIBindByName(q, &b, err, T(":r"), -1, &ref, P, SQLT_REF, nullptr, nullptr, nullptr, 0,
                              nullptr, OCI_DEFAULT),
            OCI_SUCCESS);
  ASSERT_EQ(
      oci.OCIBindObject(b, err, TypeOf("DEPT_T"), reinterpret_cast<dvoid**>(&ref), nullptr, nullptr, nullptr),
      OCI_SUCCESS);
  char dname[20] = {};
  ASSERT_EQ(oci.OCIDefineByPos(q, &def, err, 1, dname, sizeof dname, SQLT_STR, nullptr, nullptr, nullptr,
                               OCI_DEFAULT),
            OCI_SUCCESS);
  ASSERT_EQ(conn->Execute(q), OCI_SUCCESS) << conn->Message();
  EXPECT_STREQ(dname, "RESEARCH");
  oci.OCIHandleFree(q, OCI_HTYPE_STMT);
}

TEST_F(OciObjectTest, PersistentObjectsPinFlushAndRefreshAcrossSessions) {
  MakeTypes();
  Exec("create table depts of dept_t");
  Exec("insert into depts values (30, 'SALES')");
  Exec("commit");
  Connection other(oci, env);
  ASSERT_EQ(other.LogOn("scott", "tiger"), OCI_SUCCESS) << other.Message();

  auto refOf = [&](Connection& c) {
    OCIStmt* st = c.Prepare("select ref(d) from depts d where deptno = 30");
    OCIRef* ref = nullptr;
    OCIDefine* def = nullptr;
    oci.OCIDefineByPos(st, &def, c.err, 1, &ref, P, SQLT_REF, nullptr, nullptr, nullptr, OCI_DEFAULT);
    oci.OCIDefineObject(def, c.err, nullptr, reinterpret_cast<dvoid**>(&ref), nullptr, nullptr, nullptr);
    EXPECT_EQ(c.Execute(st), OCI_SUCCESS) << c.Message();
    oci.OCIHandleFree(st, OCI_HTYPE_STMT);
    return ref;
  };
  OCIRef* mine = refOf(*conn);
  OCIRef* theirs = refOf(other);
  void* obj = nullptr;
  ASSERT_EQ(oci.OCIObjectPin(env, err, mine, nullptr, OCI_PIN_ANY, 10, OCI_LOCK_X, &obj), OCI_SUCCESS)
      << conn->Message();
  boolean flag = FALSE;
  ASSERT_EQ(oci.OCIObjectIsLocked(env, err, obj, &flag), OCI_SUCCESS);
  EXPECT_TRUE(flag);
  SetText(obj, 24, "MARKETING");
  ASSERT_EQ(oci.OCIObjectIsDirty(env, err, obj, &flag), OCI_SUCCESS);
  EXPECT_FALSE(flag);
  ASSERT_EQ(oci.OCIObjectMarkUpdate(env, err, obj), OCI_SUCCESS);
  ASSERT_EQ(oci.OCIObjectIsDirty(env, err, obj, &flag), OCI_SUCCESS);
  EXPECT_TRUE(flag);
  ASSERT_EQ(oci.OCIObjectFlush(env, err, obj), OCI_SUCCESS) << conn->Message();
  ASSERT_EQ(oci.OCIObjectIsDirty(env, err, obj, &flag), OCI_SUCCESS);
  EXPECT_FALSE(flag);
  ASSERT_EQ(oci.OCITransCommit(svc, err, OCI_DEFAULT), OCI_SUCCESS);
  ASSERT_EQ(oci.OCIObjectIsLocked(env, err, obj, &flag), OCI_SUCCESS);
  EXPECT_FALSE(flag);  // the commit released the row

  // The other session's own copy shows the flushed value.
  void* theirObj = nullptr;
  ASSERT_EQ(oci.OCIObjectPin(env, other.err, theirs, nullptr, OCI_PIN_LATEST, 10, OCI_LOCK_NONE, &theirObj),
            OCI_SUCCESS)
      << other.Message();
  EXPECT_NE(theirObj, obj);
  EXPECT_EQ(TextAt(theirObj, 24), "MARKETING");
  // It changes the row through SQL; refresh brings that into the first copy, in place.
  ASSERT_EQ(other.Run("update depts set dname = 'OPERATIONS' where deptno = 30"), OCI_SUCCESS)
      << other.Message();
  ASSERT_EQ(oci.OCITransCommit(other.svc, other.err, OCI_DEFAULT), OCI_SUCCESS);
  EXPECT_EQ(TextAt(obj, 24), "MARKETING");
  ASSERT_EQ(oci.OCIObjectRefresh(env, err, obj), OCI_SUCCESS) << conn->Message();
  EXPECT_EQ(TextAt(obj, 24), "OPERATIONS");

  // The cache flush sends every dirty object.
  SetInt(obj, 0, 31);
  ASSERT_EQ(oci.OCIObjectMarkUpdate(env, err, obj), OCI_SUCCESS);
  ASSERT_EQ(oci.OCICacheFlush(env, err, svc, nullptr, nullptr, nullptr), OCI_SUCCESS) << conn->Message();
  EXPECT_EQ(conn->Scalar("select count(*) from depts where deptno = 31"), 1);
  ASSERT_EQ(oci.OCITransCommit(svc, err, OCI_DEFAULT), OCI_SUCCESS);
  other.LogOff();
}

TEST_F(OciObjectTest, NewPersistentObjectsAreInsertedAndDeletedByFlush) {
  MakeTypes();
  Exec("create table depts of dept_t");
  OCIType* deptType = TypeOf("DEPT_T");
  void* table = nullptr;
  ASSERT_EQ(oci.OCIObjectPinTable(env, err, svc, T("SCOTT"), 5, T("DEPTS"), 5, nullptr, 10, &table),
            OCI_SUCCESS)
      << conn->Message();
  void* nope = nullptr;
  EXPECT_EQ(oci.OCIObjectPinTable(env, err, svc, nullptr, 0, T("NO_TABLE"), 8, nullptr, 10, &nope),
            OCI_ERROR);
  EXPECT_EQ(Code(), 942);

  void* obj = nullptr;
  ASSERT_EQ(oci.OCIObjectNew(env, err, svc, OCI_TYPECODE_OBJECT, deptType, table, 10, FALSE, &obj),
            OCI_SUCCESS)
      << conn->Message();
  SetInt(obj, 0, 40);
  SetText(obj, 24, "NEW");
  sb2* n = Nulls(obj);
  n[1] = n[2] = OCI_IND_NOTNULL;
  boolean flag = FALSE;
  ASSERT_EQ(oci.OCIObjectIsDirty(env, err, obj, &flag), OCI_SUCCESS);
  EXPECT_TRUE(flag);  // new: waits for its insert
  EXPECT_EQ(conn->Scalar("select count(*) from depts"), 0);
  ASSERT_EQ(oci.OCIObjectFlush(env, err, obj), OCI_SUCCESS) << conn->Message();
  EXPECT_EQ(conn->Scalar("select count(*) from depts where deptno = 40 and dname = 'NEW'"), 1);

  OCIRef* ref = nullptr;
  ASSERT_EQ(oci.OCIObjectNew(env, err, svc, OCI_TYPECODE_REF, nullptr, nullptr, 10, TRUE,
                             reinterpret_cast<dvoid**>(&ref)),
            OCI_SUCCESS);
  ASSERT_EQ(oci.OCIObjectGetObjectRef(env, err, obj, ref), OCI_SUCCESS) << conn->Message();
  void* same = nullptr;
  ASSERT_EQ(oci.OCIObjectPin(env, err, ref, nullptr, OCI_PIN_ANY, 10, OCI_LOCK_NONE, &same), OCI_SUCCESS);
  EXPECT_EQ(same, obj);
  OCIRef* typeRef = nullptr;
  ASSERT_EQ(oci.OCIObjectNew(env, err, svc, OCI_TYPECODE_REF, nullptr, nullptr, 10, TRUE,
                             reinterpret_cast<dvoid**>(&typeRef)),
            OCI_SUCCESS);
  ASSERT_EQ(oci.OCIObjectGetTypeRef(env, err, obj, typeRef), OCI_SUCCESS);
  void* pinnedType = nullptr;
  ASSERT_EQ(oci.OCIObjectPin(env, err, typeRef, nullptr, OCI_PIN_ANY, 10, OCI_LOCK_NONE, &pinnedType),
            OCI_SUCCESS);
  EXPECT_EQ(pinnedType, deptType);

  // A REF's hex form comes back to the same object.
  text hex[200] = {};
  ub4 hexLen = sizeof hex;
  ASSERT_EQ(oci.OCIRefToHex(env, err, ref, hex, &hexLen), OCI_SUCCESS);
  OCIRef* fromHex = nullptr;
  ASSERT_EQ(oci.OCIRefFromHex(env, err, svc, hex, hexLen, &fromHex), OCI_SUCCESS);
  ASSERT_EQ(oci.OCIObjectPin(env, err, fromHex, nullptr, OCI_PIN_ANY, 10, OCI_LOCK_NONE, &same), OCI_SUCCESS);
  EXPECT_EQ(same, obj);

  ASSERT_EQ(oci.OCIObjectMarkDelete(env, err, obj), OCI_SUCCESS);
  ASSERT_EQ(oci.OCIObjectFlush(env, err, obj), OCI_SUCCESS) << conn->Message();
  EXPECT_EQ(conn->Scalar("select count(*) from depts"), 0);
  ASSERT_EQ(oci.OCIObjectExists(env, err, obj, &flag), OCI_SUCCESS);
  EXPECT_FALSE(flag);
  EXPECT_EQ(oci.OCIObjectPin(env, err, ref, nullptr, OCI_PIN_ANY, 10, OCI_LOCK_NONE, &same), OCI_ERROR);
  EXPECT_EQ(Code(), 21700);
  // A transient object cannot be deleted from a table.
  void* transient = New(deptType);
  EXPECT_EQ(oci.OCIObjectMarkDelete(env, err, transient), OCI_ERROR);
}

TEST_F(OciObjectTest, CopyLockAndFlushOfListedObjects) {
  MakeTypes();
  Exec("create table depts of dept_t");
  Exec("insert into depts values (50, 'ONE')");
  Exec("insert into depts values (60, 'TWO')");
  Exec("commit");
  OCIStmt* st = conn->Prepare("select ref(d) from depts d order by deptno");
  OCIRef* refs[2] = {};
  OCIDefine* def = nullptr;
  ASSERT_EQ(oci.OCIDefineByPos(st, &def, err, 1, refs, P, SQLT_REF, nullptr, nullptr, nullptr, OCI_DEFAULT),
            OCI_SUCCESS);
  ASSERT_EQ(conn->Execute(st, 2), OCI_SUCCESS) << conn->Message();
  oci.OCIHandleFree(st, OCI_HTYPE_STMT);
  void* one = nullptr;
  void* two = nullptr;
  ASSERT_EQ(oci.OCIObjectPin(env, err, refs[0], nullptr, OCI_PIN_ANY, 10, OCI_LOCK_NONE, &one), OCI_SUCCESS);
  ASSERT_EQ(oci.OCIObjectPin(env, err, refs[1], nullptr, OCI_PIN_ANY, 10, OCI_LOCK_NONE, &two), OCI_SUCCESS);
  boolean flag = TRUE;
  ASSERT_EQ(oci.OCIObjectIsLocked(env, err, one, &flag), OCI_SUCCESS);
  EXPECT_FALSE(flag);
  ASSERT_EQ(oci.OCIObjectLock(env, err, one), OCI_SUCCESS) << conn->Message();
  ASSERT_EQ(oci.OCIObjectIsLocked(env, err, one, &flag), OCI_SUCCESS);
  EXPECT_TRUE(flag);

  // A copy into a transient instance is deep: changing it leaves the source alone.
  OCIType* deptType = TypeOf("DEPT_T");
  void* copy = New(deptType);
  ASSERT_EQ(oci.OCIObjectCopy(env, err, svc, one, Nulls(one), copy, Nulls(copy), deptType, 10, 0),
            OCI_SUCCESS);
  EXPECT_EQ(TextAt(copy, 24), "ONE");
  EXPECT_NE(PtrAt(copy, 24), PtrAt(one, 24));
  SetText(copy, 24, "COPY");
  EXPECT_EQ(TextAt(one, 24), "ONE");

  // Both are changed; the flush callback names only the second.
  SetText(one, 24, "UNO");
  SetText(two, 24, "DOS");
  ASSERT_EQ(oci.OCIObjectMarkUpdate(env, err, one), OCI_SUCCESS);
  ASSERT_EQ(oci.OCIObjectMarkUpdate(env, err, two), OCI_SUCCESS);
  struct Listed {
    OCIRef* ref;
    int calls = 0;
  } listed{refs[1]};
  auto next = [](dvoid* context, ub1* last) -> OCIRef* {
    auto* l = static_cast<Listed*>(context);
    ++l->calls;
    *last = 1;
    return l->ref;
  };
  ASSERT_EQ(oci.OCICacheFlush(env, err, svc, &listed, next, nullptr), OCI_SUCCESS) << conn->Message();
  EXPECT_EQ(listed.calls, 1);
  EXPECT_EQ(conn->Scalar("select count(*) from depts where dname = 'DOS'"), 1);
  EXPECT_EQ(conn->Scalar("select count(*) from depts where dname = 'UNO'"), 0);
  ASSERT_EQ(oci.OCIObjectIsDirty(env, err, one, &flag), OCI_SUCCESS);
  EXPECT_TRUE(flag);
  ASSERT_EQ(oci.OCIObjectUnmark(env, err, one), OCI_SUCCESS);
  ASSERT_EQ(oci.OCIObjectIsDirty(env, err, one, &flag), OCI_SUCCESS);
  EXPECT_FALSE(flag);

  // A define whose type is not the column's is refused.
  OCIStmt* wrong = conn->Prepare("select value(d) from depts d");
  void* inst = nullptr;
  ASSERT_EQ(
      oci.OCIDefineByPos(wrong, &def, err, 1, &inst, P, SQLT_NTY, nullptr, nullptr, nullptr, OCI_DEFAULT),
      OCI_SUCCESS);
  ASSERT_EQ(oci.OCIDefineObject(def, err, TypeOf("ADDRESS_T"), &inst, nullptr, nullptr, nullptr),
            OCI_SUCCESS);
  EXPECT_EQ(conn->Execute(wrong), OCI_ERROR);
  EXPECT_EQ(Code(), 932);
  oci.OCIHandleFree(wrong, OCI_HTYPE_STMT);
  ASSERT_EQ(oci.OCITransRollback(svc, err, OCI_DEFAULT), OCI_SUCCESS);
}

TEST_F(OciObjectTest, XmlTypeTextComesThroughThePlSqlBlock) {
  Exec("create table docs (id number, doc sys.xmltype)");
  Exec("insert into docs values (1, xmltype('<a><b>text</b></a>'))");
  OCIStmt* st = conn->Prepare("select doc from docs");
  OCIType* xmlType = TypeOf("SYS.XMLTYPE");
  ASSERT_NE(xmlType, nullptr);
  void* doc = nullptr;
  void* docNulls = nullptr;
  sb2 ind = 5;
  OCIDefine* def = nullptr;
  ASSERT_EQ(oci.OCIDefineByPos(st, &def, err, 1, &doc, P, SQLT_NTY, &ind, nullptr, nullptr, OCI_DEFAULT),
            OCI_SUCCESS);
  ASSERT_EQ(oci.OCIDefineObject(def, err, xmlType, &doc, nullptr, &docNulls, nullptr), OCI_SUCCESS);
  ASSERT_EQ(conn->Execute(st), OCI_SUCCESS) << conn->Message();
  oci.OCIHandleFree(st, OCI_HTYPE_STMT);
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(ind, 0);

  OCILobLocator* clob = nullptr;
  ASSERT_EQ(oci.OCIDescriptorAlloc(env, reinterpret_cast<dvoid**>(&clob), OCI_DTYPE_LOB, 0, nullptr),
            OCI_SUCCESS);
  ASSERT_EQ(oci.OCILobCreateTemporary(svc, err, clob, 0, 0, OCI_TEMP_CLOB, TRUE, OCI_DURATION_SESSION),
            OCI_SUCCESS);
  OCIStmt* blk = conn->Prepare(
      "declare\n"
      "  rvl_object sys.xmltype;\n"
      "  xmldata clob;\n"
      "begin\n"
      "  rvl_object := :rvl_object;\n"
      "  xmldata := rvl_object.getclobval();\n"
      "  sys.dbms_lob.trim(:xmldata, 0);\n"
      "  sys.dbms_lob.append(:xmldata, xmldata);\n"
      "end;");
  OCIBind* b1 = nullptr;
  OCIBind* b2 = nullptr;
  ASSERT_EQ(oci.OCIBindByName(blk, &b1, err, T(":rvl_object"), -1, &doc, P, SQLT_NTY, nullptr, nullptr,
                              nullptr, 0, nullptr, OCI_DEFAULT),
            OCI_SUCCESS);
  ASSERT_EQ(oci.OCIBindObject(b1, err, xmlType, &doc, nullptr, &docNulls, nullptr), OCI_SUCCESS);
  ASSERT_EQ(oci.OCIBindByName(blk, &b2, err, T(":xmldata"), -1, &clob, P, SQLT_CLOB, nullptr, nullptr,
                              nullptr, 0, nullptr, OCI_DEFAULT),
            OCI_SUCCESS);
  ASSERT_EQ(conn->Execute(blk), OCI_SUCCESS) << conn->Message();
  oci.OCIHandleFree(blk, OCI_HTYPE_STMT);
  char buf[100] = {};
  ub4 amount = sizeof buf;
  ASSERT_EQ(oci.OCILobRead(svc, err, clob, &amount, 1, buf, sizeof buf, nullptr, nullptr, 0, 1), OCI_SUCCESS);
  EXPECT_EQ(std::string(buf, amount), "<a><b>text</b></a>");
  oci.OCILobFreeTemporary(svc, err, clob);
  oci.OCIDescriptorFree(clob, OCI_DTYPE_LOB);
}

}  // namespace
