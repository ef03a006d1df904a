// Reads arbitrary bytes through the filer: every value is either read or refused with a read error,
// never a crash, a hang or an allocation the stream cannot back.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/rtl/Classes.h"

namespace {

class TFuzzHolder : public TComponent {
  TALVIK_CLASS(TFuzzHolder, TComponent)
  using TComponent::TComponent;
  std::string Data;
  std::string Text;
  void DefineProperties(TFiler* Filer) override {
    Filer->DefineBinaryProperty(
        "Data",
        [this](TStream* s) {
          Data.assign(static_cast<size_t>(s->Size()), '\0');
          s->ReadBuffer(Data.data(), s->Size());
        },
        nullptr, false);
    Filer->DefineProperty(
        "Text", [this](TReader* r) { Text = r->ReadString(); }, nullptr, false);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  {
    TStringStream stream(input);
    TReader reader(&stream);
    try {
      while (stream.Position() < stream.Size()) reader.SkipValue();
    } catch (const EReadError&) {
    }
  }
  {
    TStringStream stream("TPF0" + input);
    TReader reader(&stream);
    TComponent form(nullptr);
    auto* holder = new TFuzzHolder(&form);
    holder->SetName("Holder");
    try {
      reader.ReadRootComponent(&form);
    } catch (const EReadError&) {
    }
    if (form.ComponentState().Contains(csLoading) || holder->ComponentState().Contains(csReading))
      __builtin_trap();
  }
  return 0;
}
