#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "platform/rtl/Classes.h"

namespace {

std::string Bytes(TMemoryStream& s) {
  return std::string(static_cast<char*>(s.Memory()), s.Size());
}

// A component that stores a block of bytes as the binary property "Data" and a count as "Count",
// both only when they differ from its ancestor.
class TBlobHolder : public TComponent {
  TALVIK_CLASS(TBlobHolder, TComponent)
  using TComponent::TComponent;
  std::string Data;
  int Count = 0;
  int LoadedCalls = 0;
  bool WasLoadingWhileRead = false;

  void DefineProperties(TFiler* Filer) override {
    TComponent::DefineProperties(Filer);
    auto* ancestor = dynamic_cast<TBlobHolder*>(Filer->Ancestor());
    const bool dataDiffers = ancestor ? ancestor->Data != Data : !Data.empty();
    Filer->DefineBinaryProperty(
        "Data",
        [this](TStream* s) {
          WasLoadingWhileRead = ComponentState().Contains(csLoading);
          Data.assign(static_cast<size_t>(s->Size()), '\0');
          s->ReadBuffer(Data.data(), s->Size());
        },
        [this](TStream* s) { s->WriteBuffer(Data.data(), static_cast<int64_t>(Data.size())); }, dataDiffers);
    Filer->DefineProperty(
        "Count", [this](TReader* r) { Count = r->ReadInteger(); },
        [this](TWriter* w) { w->WriteInteger(Count); }, ancestor ? ancestor->Count != Count : Count != 0);
  }
  void Loaded() override {
    TComponent::Loaded();
    ++LoadedCalls;
  }
};

class TNamedItem : public TCollectionItem {
  TALVIK_CLASS(TNamedItem, TCollectionItem)
  using TCollectionItem::TCollectionItem;
  std::string Caption;
  void DefineProperties(TFiler* Filer) override {
    Filer->DefineProperty(
        "Caption", [this](TReader* r) { Caption = r->ReadString(); },
        [this](TWriter* w) { w->WriteString(Caption); }, true);
  }
};

}  // namespace

TEST(FilerTest, EncodesEachValueTypeInTheBinaryFormat) {
  TMemoryStream stream;
  TWriter w(&stream);
  w.WriteInteger(5);
  w.WriteInteger(-300);
  w.WriteInteger(70000);
  w.WriteInteger(int64_t{1} << 40);
  w.WriteString("abc");
  w.WriteBoolean(true);
  w.WriteIdent("False");
  w.WriteIdent("clRed");
  w.WriteFloat(1.0);
  w.WriteListBegin();
  w.WriteListEnd();
  const std::string expected = std::string("\x02\x05", 2) + std::string("\x03\xD4\xFE", 3) +
                               std::string("\x04\x70\x11\x01\x00", 5) +
                               std::string("\x13\x00\x00\x00\x00\x00\x01\x00\x00", 9) +
                               "\x06\x03"
                               "abc" +
                               "\x09" + "\x08" +
                               "\x07\x05"
                               "clRed" +
                               std::string("\x05\0\0\0\0\0\0\0\x80\xFF\x3F", 11) + std::string("\x01\x00", 2);
  EXPECT_EQ(Bytes(stream), expected);
}

TEST(FilerTest, EveryValueTypeRoundTrips) {
  TMemoryStream stream;
  TWriter w(&stream);
  const std::string longText(300, 'x');
  w.WriteSignature();
  w.WriteInteger(-1);
  w.WriteInteger(INT32_MIN);
  w.WriteInteger(INT64_MAX);
  w.WriteBoolean(false);
  w.WriteFloat(-2.5);
  w.WriteFloat(1e-310);  // subnormal
  w.WriteFloat(1e300);
  w.WriteFloat(std::numeric_limits<double>::infinity());
  w.WriteSingle(0.25f);
  w.WriteCurrency(12.3456);
  w.WriteDate(45000.75);
  w.WriteString(longText);
  w.WriteString("Привет");
  w.WriteWideString("Ёлка 😀");
  w.WriteUTF8String("utf8");
  w.WriteIdent("nil");
  w.WriteIdent("Null");
  w.WriteSet({"fsBold", "fsItalic"});
  w.WriteBinary("\x01\x02\x03", 3);
  w.WriteValue(vaNil);

  stream.SetPosition(0);
  TReader r(&stream);
  r.ReadSignature();
  EXPECT_EQ(r.NextValue(), vaInt8);
  EXPECT_EQ(r.ReadInteger(), -1);
  EXPECT_EQ(r.ReadInteger(), INT32_MIN);
  EXPECT_EQ(r.NextValue(), vaInt64);
  EXPECT_EQ(r.ReadInt64(), INT64_MAX);
  EXPECT_FALSE(r.ReadBoolean());
  EXPECT_EQ(r.ReadFloat(), -2.5);
  EXPECT_EQ(r.ReadFloat(), 1e-310);
  EXPECT_EQ(r.ReadFloat(), 1e300);
  EXPECT_TRUE(std::isinf(r.ReadFloat()));
  EXPECT_EQ(r.ReadSingle(), 0.25f);
  EXPECT_DOUBLE_EQ(r.ReadCurrency(), 12.3456);
  EXPECT_EQ(r.ReadDate(), 45000.75);
  EXPECT_EQ(r.NextValue(), vaLString);
  EXPECT_EQ(r.ReadString(), longText);
  EXPECT_EQ(r.NextValue(), vaUTF8String);
  EXPECT_EQ(r.ReadString(), "Привет");
  EXPECT_EQ(r.NextValue(), vaWString);
  EXPECT_EQ(r.ReadWideString(), "Ёлка 😀");
  EXPECT_EQ(r.ReadString(), "utf8");
  EXPECT_EQ(r.ReadIdent(), "nil");
  EXPECT_EQ(r.ReadIdent(), "Null");
  EXPECT_EQ(r.ReadSet(), (std::vector<std::string>{"fsBold", "fsItalic"}));
  EXPECT_EQ(r.ReadBinary(), std::string("\x01\x02\x03", 3));
  EXPECT_EQ(r.ReadValue(), vaNil);
  EXPECT_EQ(stream.Position(), stream.Size());
}

TEST(FilerTest, SkipValueStepsOverEveryType) {
  TMemoryStream stream;
  TWriter w(&stream);
  w.WriteListBegin();
  w.WriteInteger(1);
  w.WriteInteger(1000);
  w.WriteInteger(100000);
  w.WriteInteger(int64_t{1} << 50);
  w.WriteFloat(3.5);
  w.WriteSingle(1.5f);
  w.WriteCurrency(1);
  w.WriteDate(2);
  w.WriteString("s");
  w.WriteString(std::string(400, 'l'));
  w.WriteWideString("w");
  w.WriteUTF8String("u");
  w.WriteIdent("x");
  w.WriteBoolean(true);
  w.WriteSet({"a"});
  w.WriteBinary("bin", 3);
  w.WriteListBegin();
  w.WriteListEnd();
  w.WriteListEnd();
  TCollection items(CollectionItemClass<TNamedItem>);
  static_cast<TNamedItem*>(items.Add())->Caption = "one";
  w.WriteCollection(&items);
  w.WriteInteger(77);

  stream.SetPosition(0);
  TReader r(&stream);
  r.SkipValue();  // the whole list
  r.SkipValue();  // the collection
  EXPECT_EQ(r.ReadInteger(), 77);
}

TEST(FilerTest, WrongTypesAndDamagedStreamsRaiseReadErrors) {
  TMemoryStream stream;
  TWriter w(&stream);
  w.WriteString("text");
  w.WriteInteger(5);
  stream.SetPosition(0);
  TReader r(&stream);
  try {
    r.ReadInteger();
    FAIL();
  } catch (const EReadError& e) {
    EXPECT_EQ(e.Message(), "Invalid property value");
  }
  EXPECT_EQ(r.ReadString(), "text");  // the failed read consumed nothing
  EXPECT_THROW(r.ReadBoolean(), EReadError);
  EXPECT_THROW(r.ReadListBegin(), EReadError);
  EXPECT_EQ(r.ReadInteger(), 5);
  try {
    r.ReadValue();
    FAIL();
  } catch (const EReadError& e) {
    EXPECT_EQ(e.Message(), "Stream read error");
  }

  TStringStream badSignature("TPF1");
  TReader r2(&badSignature);
  try {
    r2.ReadSignature();
    FAIL();
  } catch (const EReadError& e) {
    EXPECT_EQ(e.Message(), "Invalid stream format");
  }

  // A length far beyond the stream is refused without trying to allocate it.
  TStringStream huge(
      std::string("\x0C\xFF\xFF\xFF\x7F"
                  "abc",
                  8));
  TReader r3(&huge);
  EXPECT_THROW(r3.ReadString(), EReadError);
  TStringStream negative(std::string("\x0A\xFF\xFF\xFF\xFF", 5));
  TReader r4(&negative);
  EXPECT_THROW(r4.ReadBinary(), EReadError);
  TStringStream truncated(std::string("\x05\x00\x00", 3));
  TReader r5(&truncated);
  EXPECT_THROW(r5.ReadFloat(), EReadError);
  TStringStream unknown(std::string("\x7F", 1));
  TReader r6(&unknown);
  EXPECT_THROW(r6.SkipValue(), EReadError);
  std::string deep(100000, '\x01');  // lists nested beyond reason
  TStringStream nested(deep);
  TReader r7(&nested);
  EXPECT_THROW(r7.SkipValue(), EReadError);

  TMemoryStream out;
  TWriter w2(&out);
  EXPECT_THROW(w2.WriteStr(std::string(256, 'n')), EWriteError);  // never cut silently
}

TEST(FilerTest, BinaryPropertyOfAComponentRoundTrips) {
  TComponent form(nullptr);
  form.SetName("Form1");
  auto* holder = new TBlobHolder(&form);
  holder->SetName("Query1");
  holder->Data = std::string("\x00\x01\xFFvariables", 12);
  holder->Count = 3;
  auto* extra = new TBlobHolder(&form);  // no counterpart when read back: skipped
  extra->SetName("Extra");
  extra->Data = "zzz";

  TMemoryStream stream;
  TWriter writer(&stream);
  writer.WriteRootComponent(&form);
  EXPECT_EQ(Bytes(stream).substr(0, 4), "TPF0");
  EXPECT_FALSE(holder->ComponentState().Contains(csWriting));

  TComponent form2(nullptr);
  auto* holder2 = new TBlobHolder(&form2);
  holder2->SetName("query1");
  auto* absent = new TBlobHolder(holder2);  // not in the stream: neither loading nor loaded
  absent->SetName("Absent");
  stream.SetPosition(0);
  TReader reader(&stream);
  EXPECT_EQ(reader.ReadRootComponent(&form2), &form2);
  EXPECT_EQ(holder2->Data, holder->Data);
  EXPECT_EQ(holder2->Count, 3);
  EXPECT_TRUE(holder2->WasLoadingWhileRead);
  EXPECT_EQ(holder2->LoadedCalls, 1);
  EXPECT_FALSE(holder2->ComponentState().Contains(csLoading));
  EXPECT_EQ(absent->LoadedCalls, 0);
  EXPECT_FALSE(absent->WasLoadingWhileRead);
  EXPECT_EQ(stream.Position(), stream.Size());
}

TEST(FilerTest, AncestorSuppressesEqualValues) {
  TBlobHolder ancestor(nullptr);
  ancestor.Data = "same";
  ancestor.Count = 1;
  TBlobHolder descendant(nullptr);
  descendant.Data = "same";
  descendant.Count = 2;

  TMemoryStream stream;
  TWriter writer(&stream);
  writer.WriteDescendent(&descendant, &ancestor);
  const std::string bytes = Bytes(stream);
  EXPECT_EQ(bytes.find("Data"), std::string::npos);
  EXPECT_NE(bytes.find("Count"), std::string::npos);

  TMemoryStream plain;
  TWriter plainWriter(&plain);
  plainWriter.WriteRootComponent(&descendant);
  EXPECT_NE(Bytes(plain).find("Data"), std::string::npos);
}

TEST(FilerTest, UnknownPropertyIsAnError) {
  TMemoryStream stream;
  TWriter w(&stream);
  w.WriteSignature();
  w.WriteStr("TBlobHolder");
  w.WriteStr("H");
  w.WritePropName("Colour");
  w.WriteInteger(1);
  w.WriteListEnd();
  w.WriteListEnd();
  stream.SetPosition(0);
  TBlobHolder target(nullptr);
  TReader r(&stream);
  try {
    r.ReadRootComponent(&target);
    FAIL();
  } catch (const EReadError& e) {
    EXPECT_EQ(e.Message(), "Property Colour does not exist");
  }
  EXPECT_FALSE(target.ComponentState().Contains(csLoading));
  EXPECT_EQ(target.LoadedCalls, 0);
}

TEST(FilerTest, CollectionRoundTrips) {
  TCollection source(CollectionItemClass<TNamedItem>);
  static_cast<TNamedItem*>(source.Add())->Caption = "first";
  static_cast<TNamedItem*>(source.Add())->Caption = "второй";
  TMemoryStream stream;
  TWriter w(&stream);
  w.WriteCollection(&source);
  stream.SetPosition(0);
  TCollection target(CollectionItemClass<TNamedItem>);
  target.Add();
  TReader r(&stream);
  r.ReadCollection(&target);
  ASSERT_EQ(target.Count(), 2);
  EXPECT_EQ(static_cast<TNamedItem*>(target.Items(1))->Caption, "второй");
}
