// The slot writers of the fetch; the field information of object columns built by hand (the children
// each object entry collects and the SQL value functions over them); BFILE columns.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "tests/oracle_data/DataSetTestSupport.h"

using namespace oracle_data;

namespace {

// ---- Slot writers -----------------------------------------------------------------------------------

TEST(SlotWriters, TextIsCutAtACharacterBoundaryAndEndsInAZero) {
  uint8_t slot[1 + 6];
  // the text as a string field reads it: the slot's bytes up to the first zero
  auto text = [&] {
    return std::string(reinterpret_cast<const char*>(slot + 1),
                       strnlen(reinterpret_cast<const char*>(slot + 1), 6));
  };
  std::memset(slot, 0x55, sizeof slot);
  PutSlotText(slot, 6, 10, "abc");
  EXPECT_EQ(slot[0], 0);
  EXPECT_EQ(text(), "abc");
  // a shorter text over a longer one ends where it ends
  PutSlotText(slot, 6, 10, "abcde");
  PutSlotText(slot, 6, 10, "xy");
  EXPECT_EQ(text(), "xy");
  // Five bytes fit; "ä" (two bytes) at bytes 4..5 would be split, so it goes whole.
  PutSlotText(slot, 6, 10, "abcdä");
  EXPECT_EQ(text(), "abcd");
  PutSlotText(slot, 6, 10, "abcde");
  EXPECT_EQ(text(), "abcde");
  PutSlotText(slot, 6, 10, "abcdef");
  EXPECT_EQ(text(), "abcde");
  // An empty text leaves the slot as it was (null).
  slot[0] = 1;
  PutSlotText(slot, 6, 10, "");
  EXPECT_EQ(slot[0], 1);
  // A single character that does not fit at all leaves the slot null too.
  uint8_t tiny[1 + 2] = {1, 0, 0};
  PutSlotText(tiny, 2, 1, "ä");
  EXPECT_EQ(tiny[0], 1);
  // A field narrower than its column holds its first characters, of whatever width.
  uint8_t wide[1 + 3 * 4 + 1];
  const auto wideText = [&] { return std::string(reinterpret_cast<const char*>(wide + 1)); };
  PutSlotText(wide, sizeof wide - 1, 3, "Жёлтый");
  EXPECT_EQ(wideText(), "Жёл");
  PutSlotText(wide, sizeof wide - 1, 3, "a🙂b🙂");
  EXPECT_EQ(wideText(), "a🙂b");
  PutSlotText(wide, sizeof wide - 1, 3, "abcdef");
  EXPECT_EQ(wideText(), "abc");
}

TEST(SlotWriters, NumbersAndDates) {
  uint8_t slot[1 + 8] = {1};
  PutSlotInteger(slot, -7);
  int32_t i;
  std::memcpy(&i, slot + 1, sizeof i);
  EXPECT_EQ(slot[0], 0);
  EXPECT_EQ(i, -7);
  PutSlotFloat(slot, 2.5);
  double d;
  std::memcpy(&d, slot + 1, sizeof d);
  EXPECT_EQ(d, 2.5);
  PutSlotDateTime(slot, EncodeDate(2024, 2, 29) + 0.5);
  std::memcpy(&d, slot + 1, sizeof d);
  EXPECT_EQ(d, TimeStampToMSecs(DateTimeToTimeStamp(EncodeDate(2024, 2, 29) + 0.5)));
}

// ---- Field information of hand-made object entries ---------------------------------------------------

class ObjectFieldInfoTest : public OracleDataTest {
 protected:
  // PERSON (SCOTT.PERSON_T) with NAME, ADDR (SCOTT.ADDRESS_T: STREET, HOUSE) and DOC (XMLTYPE).
  void Build(TOracleFieldInfoList& List) {
    List.Add("")->Kind = 3;
    auto add = [&](const std::string& Name, int Kind, int Type, const std::string& TypeName) {
      TOracleFieldInfo* i = List.Add(Name);
      i->Kind = Kind;
      i->OracleType = Type;
      i->TypeName = TypeName;
      return i;
    };
    add("ID", 0, otInteger, "");
    add("PERSON", 0, otObject, "SCOTT.PERSON_T");
    add("PERSON.NAME", 2, otString, "");
    add("PERSON.ADDR", 2, otObject, "SCOTT.ADDRESS_T");
    add("PERSON.ADDR.STREET", 2, otString, "");
    add("PERSON.ADDR.HOUSE", 2, otInteger, "");
    add("PERSON.DOC", 2, otCLOB, "SYS.XMLTYPE")->IsXMLType = true;
    add("PERSONAL", 0, otString, "");
    List.CollectChildren();
  }
  static std::string Names(const std::vector<TOracleFieldInfo*>& List) {
    std::string s;
    for (const TOracleFieldInfo* i : List) s += (s.empty() ? "" : ",") + i->Name;
    return s;
  }
};

TEST_F(ObjectFieldInfoTest, ObjectEntriesCollectTheirOwnAttributes) {
  TOracleDataSet ds(nullptr);
  TOracleFieldInfoList list(&ds);
  Build(list);
  TOracleFieldInfo* person = list.FindByName("person");
  TOracleFieldInfo* addr = list.FindByName("PERSON.ADDR");
  EXPECT_EQ(Names(person->Children), "PERSON.NAME,PERSON.ADDR,PERSON.DOC")
      << "nested attributes belong to their own object, PERSONAL to nobody";
  EXPECT_EQ(Names(addr->Children), "PERSON.ADDR.STREET,PERSON.ADDR.HOUSE");
  EXPECT_EQ(addr->Parent, person);
  EXPECT_EQ(list.FindByName("PERSON.ADDR.HOUSE")->Parent, addr);
  EXPECT_EQ(list.FindByName("PERSONAL")->Parent, nullptr);
  // Collecting again does not duplicate.
  list.CollectChildren();
  EXPECT_EQ(person->Children.size(), 3u);
}

TEST_F(ObjectFieldInfoTest, EmptyObjectConstructorsWithNullObjectIsEmpty) {
  TOracleDataSet ds(nullptr);
  ds.SetSession(session.get());
  TOracleFieldInfoList list(&ds);
  Build(list);
  for (int i = 0; i < list.Count(); ++i) list.Items(i)->DataSet = &ds;
  TOracleFieldInfo* person = list.FindByName("PERSON");
  TSessionPreferences* prefs = session->Preferences();
  prefs->SetNullObjectIsEmpty(false);
  EXPECT_EQ(person->ValueExpression(false), "null");
  EXPECT_EQ(person->DefaultExpression(), "");
  prefs->SetNullObjectIsEmpty(true);
  // The XML attribute is never an empty object; an embedded object nests its own constructor.
  EXPECT_EQ(person->ValueExpression(false), "SCOTT.PERSON_T(null, SCOTT.ADDRESS_T(null, null), null)");
  EXPECT_EQ(person->DefaultExpression(), person->ValueExpression(false));
  EXPECT_EQ(list.FindByName("PERSON.DOC")->ValueExpression(false), "null");
  prefs->SetNullLOBIsEmpty(true);
  EXPECT_EQ(list.FindByName("PERSON.DOC")->ValueExpression(false), "null") << "an XML type is no CLOB here";
  prefs->SetNullObjectIsEmpty(false);
  prefs->SetNullLOBIsEmpty(false);
}

// ---- BFILE columns ------------------------------------------------------------------------------------

class OracleDataBfileTest : public OracleDataTest {
 protected:
  void MakeMail() {
    const std::filesystem::path folder = dir_ / "letters";
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "one.txt", std::ios::binary) << "first\nletter";
    {
      auto sys = Connect(false, "system", "manager");
      Run(sys.get(), "create or replace directory letters as '" + folder.string() + "'");
    }
    Run(session.get(), "create table mail (id number(5), doc bfile)");
    Run(session.get(), "insert into mail values (1, bfilename('LETTERS', 'one.txt'))");
    Run(session.get(), "insert into mail values (2, null)");
  }
};

TEST_F(OracleDataBfileTest, FileContentsAreReadIntoTheRecord) {
  MakeMail();
  auto ds = DataSet("select id, doc from mail order by id");
  ds->Open();
  TField* doc = ds->FieldByName("DOC");
  EXPECT_EQ(doc->DataType(), ftOraBlob);
  EXPECT_EQ(ds->FieldOracleType(doc), otBFile);
  EXPECT_EQ(doc->AsString(), "first\nletter");
  auto stream = ds->CreateBlobStream(doc, bmRead);
  EXPECT_EQ(stream->Size(), 12);
  ds->Next();
  EXPECT_TRUE(doc->IsNull());
}

TEST_F(OracleDataBfileTest, AMissingFileFailsTheFetchWithTheServersError) {
  MakeMail();
  Run(session.get(), "insert into mail values (3, bfilename('LETTERS', 'two.txt'))");
  auto ds = DataSet("select id, doc from mail order by id");
  EXPECT_EQ(OracleCode([&] { ds->Open(); }), 22288);
  EXPECT_FALSE(ds->Active());
}

}  // namespace
