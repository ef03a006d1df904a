// The editor's keyboard and mouse handler chains, run before the editor's own processing.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "editor/CodeEditTypes.h"
#include "platform/gui/Controls.h"
#include "platform/rtl/Classes.h"

using TMouseCursorEvent =
    std::function<void(TObject* sender, const TBufferCoord& lineCharPos, TCursor& cursor)>;

// A list of methods; a method is its code with the identity (data, tag) it is removed by.
template <typename F>
class TMethodList {
 public:
  struct TMethod {
    F Code;
    const void* Data = nullptr;
    uintptr_t Tag = 0;
  };
  void Add(F code, const void* data, uintptr_t tag = 0) {
    methods_.push_back(TMethod{std::move(code), data, tag});
  }
  // Removes every entry with that identity.
  void Remove(const void* data, uintptr_t tag = 0) {
    for (size_t i = methods_.size(); i-- > 0;)
      if (methods_[i].Data == data && methods_[i].Tag == tag) methods_.erase(methods_.begin() + i);
  }
  int Count() const { return static_cast<int>(methods_.size()); }
  const F& Items(int index) const { return methods_[index].Code; }

 private:
  std::vector<TMethod> methods_;
};

class TCodeEditKbdHandler : public TObject {
  TALVIK_CLASS(TCodeEditKbdHandler, TObject)
  TCodeEditKbdHandler() = default;

  void ExecuteKeyPress(TObject* sender, char32_t& key);
  void ExecuteKeyDown(TObject* sender, uint16_t& key, TShiftState shift);
  void ExecuteKeyUp(TObject* sender, uint16_t& key, TShiftState shift);
  void ExecuteMouseDown(TObject* sender, TMouseButton button, TShiftState shift, int x, int y);
  void ExecuteMouseUp(TObject* sender, TMouseButton button, TShiftState shift, int x, int y);
  void ExecuteMouseCursor(TObject* sender, const TBufferCoord& lineCharPos, TCursor& cursor);

  void AddKeyDownHandler(TKeyEvent h, const void* data, uintptr_t tag = 0) {
    keyDown_.Add(std::move(h), data, tag);
  }
  void RemoveKeyDownHandler(const void* data, uintptr_t tag = 0) { keyDown_.Remove(data, tag); }
  void AddKeyUpHandler(TKeyEvent h, const void* data, uintptr_t tag = 0) {
    keyUp_.Add(std::move(h), data, tag);
  }
  void RemoveKeyUpHandler(const void* data, uintptr_t tag = 0) { keyUp_.Remove(data, tag); }
  void AddKeyPressHandler(TKeyPressEvent h, const void* data, uintptr_t tag = 0) {
    keyPress_.Add(std::move(h), data, tag);
  }
  void RemoveKeyPressHandler(const void* data, uintptr_t tag = 0) { keyPress_.Remove(data, tag); }
  void AddMouseDownHandler(TMouseEvent h, const void* data, uintptr_t tag = 0) {
    mouseDown_.Add(std::move(h), data, tag);
  }
  void RemoveMouseDownHandler(const void* data, uintptr_t tag = 0) { mouseDown_.Remove(data, tag); }
  void AddMouseUpHandler(TMouseEvent h, const void* data, uintptr_t tag = 0) {
    mouseUp_.Add(std::move(h), data, tag);
  }
  void RemoveMouseUpHandler(const void* data, uintptr_t tag = 0) { mouseUp_.Remove(data, tag); }
  void AddMouseCursorHandler(TMouseCursorEvent h, const void* data, uintptr_t tag = 0) {
    mouseCursor_.Add(std::move(h), data, tag);
  }
  void RemoveMouseCursorHandler(const void* data, uintptr_t tag = 0) { mouseCursor_.Remove(data, tag); }

 private:
  TMethodList<TKeyPressEvent> keyPress_;
  TMethodList<TKeyEvent> keyDown_;
  TMethodList<TKeyEvent> keyUp_;
  TMethodList<TMouseEvent> mouseDown_;
  TMethodList<TMouseEvent> mouseUp_;
  TMethodList<TMouseCursorEvent> mouseCursor_;
  bool inKeyPress_ = false;
  bool inKeyDown_ = false;
  bool inKeyUp_ = false;
  bool inMouseDown_ = false;
  bool inMouseUp_ = false;
  bool inMouseCursor_ = false;
};
