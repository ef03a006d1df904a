// Timestamp descriptors: construction, parts, text conversion, and their exchange with the server
// as bind and define values.
#include <cctype>
#include <cstring>

#include "oracle_sim/OciConvert.h"
#include "oracle_sim/OciInternal.h"
#include "oracle_sim/engine/Functions.h"

using namespace oracle_sim;
using namespace oracle_sim::oci;

namespace oracle_sim::oci {

OCIDateTime* AsDateTime(const void* d) {
  if (IsHandle(d, OCI_DTYPE_TIMESTAMP) || IsHandle(d, OCI_DTYPE_TIMESTAMP_TZ) ||
      IsHandle(d, OCI_DTYPE_TIMESTAMP_LTZ))
    return static_cast<OCIDateTime*>(const_cast<HandleBase*>(static_cast<const HandleBase*>(d)));
  return nullptr;
}

namespace {

OCIDateTime* DescriptorAt(const void* buf, ub4 length) {
  if (!buf || length < sizeof(void*)) throw MakeError(932, "inconsistent datatypes");
  void* d = nullptr;
  std::memcpy(&d, buf, sizeof d);
  OCIDateTime* dt = AsDateTime(d);
  if (!dt) throw MakeError(932, "inconsistent datatypes");
  return dt;
}

// The value as the descriptor's kind keeps it: only WITH TIME ZONE has a zone.
DateTime ForKind(DateTime d, ub4 kind) {
  if (kind != OCI_DTYPE_TIMESTAMP_TZ) {
    d.hasTz = false;
    d.tzMinutes = 0;
  } else if (!d.hasTz) {
    d.hasTz = true;
  }
  return d;
}

bool ParseZone(const std::string& text, int& minutes) {
  std::string t;
  for (char c : text)
    if (!std::isspace(static_cast<unsigned char>(c))) t += c;
  if (t.size() != 6 || (t[0] != '+' && t[0] != '-') || t[3] != ':') return false;
  for (int i : {1, 2, 4, 5})
    if (!std::isdigit(static_cast<unsigned char>(t[i]))) return false;
  int h = (t[1] - '0') * 10 + (t[2] - '0'), m = (t[4] - '0') * 10 + (t[5] - '0');
  if (h > 14 || m > 59) return false;
  minutes = (h * 60 + m) * (t[0] == '-' ? -1 : 1);
  return true;
}

std::string ZoneText(int minutes) {
  char buf[16];
  int m = minutes < 0 ? -minutes : minutes;
  std::snprintf(buf, sizeof buf, "%c%02d:%02d", minutes < 0 ? '-' : '+', m / 60, m % 60);
  return buf;
}

bool StartsWithNoCase(const std::string& s, size_t at, const char* w) {
  size_t n = std::strlen(w);
  if (at + n > s.size()) return false;
  for (size_t i = 0; i < n; ++i)
    if (std::toupper(static_cast<unsigned char>(s[at + i])) != w[i]) return false;
  return true;
}

// TO_CHAR of a timestamp: the date elements as for a DATE, plus FF[1-9], X, TZH, TZM and TZR.
std::string FormatTimestamp(const DateTime& d, const std::string& fmt, int fsprec) {
  std::string out, segment;
  auto flush = [&] {
    if (!segment.empty()) out += FormatDate(d, segment);
    segment.clear();
  };
  bool quoted = false;
  for (size_t i = 0; i < fmt.size();) {
    if (fmt[i] == '"') quoted = !quoted;
    if (quoted || fmt[i] == '"') {
      segment += fmt[i++];
      continue;
    }
    if (StartsWithNoCase(fmt, i, "FF")) {
      flush();
      i += 2;
      int digits = fsprec > 0 && fsprec <= 9 ? fsprec : 6;
      if (i < fmt.size() && fmt[i] >= '1' && fmt[i] <= '9') digits = fmt[i++] - '0';
      char buf[16];
      std::snprintf(buf, sizeof buf, "%09lld", static_cast<long long>(d.nanos));
      out.append(buf, static_cast<size_t>(digits));
    } else if (StartsWithNoCase(fmt, i, "TZH")) {
      flush();
      i += 3;
      out += ZoneText(d.tzMinutes).substr(0, 3);
    } else if (StartsWithNoCase(fmt, i, "TZM")) {
      flush();
      i += 3;
      out += ZoneText(d.tzMinutes).substr(4, 2);
    } else if (StartsWithNoCase(fmt, i, "TZR")) {
      flush();
      i += 3;
      out += ZoneText(d.tzMinutes);
    } else if (std::toupper(static_cast<unsigned char>(fmt[i])) == 'X') {  // the radix character
      flush();
      ++i;
      out += '.';
    } else {
      segment += fmt[i++];
    }
  }
  flush();
  return out;
}

const char* DefaultFormat(ub4 kind) {
  return kind == OCI_DTYPE_TIMESTAMP_TZ ? "DD-MON-RR HH.MI.SSXFF AM TZR" : "DD-MON-RR HH.MI.SSXFF AM";
}

}  // namespace

Value ReadDateTimeDescriptor(ub2, const void* buf, ub4 length) {
  return Value::MakeDate(DescriptorAt(buf, length)->value);
}

WriteOutcome WriteDateTimeDescriptor(ub2, const Value& v, void* buf, ub4 size) {
  OCIDateTime* dt = DescriptorAt(buf, size);
  DateTime d;
  if (v.kind == Value::Date) {
    d = v.dt;
  } else if (v.kind != Value::Text || !ParseIso(v.s, d)) {
    throw MakeError(932, "inconsistent datatypes");
  }
  dt->value = ForKind(d, dt->type);
  return WriteOutcome{static_cast<ub4>(sizeof(void*)), static_cast<ub4>(sizeof(void*)), 0};
}

}  // namespace oracle_sim::oci

extern "C" {

sword OCIDateTimeConstruct(dvoid* hndl, OCIError* err, OCIDateTime* datetime, sb2 yr, ub1 mnth, ub1 dy,
                           ub1 hr, ub1 mm, ub1 ss, ub4 fsec, text* timezone, size_t timezone_length) {
  OCIDateTime* dt = AsDateTime(datetime);
  if (!hndl || !IsHandle(err, OCI_HTYPE_ERROR) || !dt) return OCI_INVALID_HANDLE;
  return Guard(err, [&] {
    DateTime d;
    d.year = yr;
    d.month = mnth;
    d.day = dy;
    d.hour = hr;
    d.minute = mm;
    d.second = ss;
    d.nanos = fsec;
    DateTime check;
    if (fsec > 999999999 ||
        !ParseIso(FormatIso(DateTime{d.year, d.month, d.day, d.hour, d.minute, d.second}), check) ||
        check.year != d.year || check.month != d.month || check.day != d.day)
      throw MakeError(1858, "a non-numeric character was found where a numeric was expected");
    if (timezone && timezone_length > 0) {
      int minutes = 0;
      if (!ParseZone(std::string(reinterpret_cast<const char*>(timezone), timezone_length), minutes))
        throw MakeError(1857, "not a valid time zone");
      d.hasTz = true;
      d.tzMinutes = minutes;
    }
    dt->value = ForKind(d, dt->type);
    return OCI_SUCCESS;
  });
}

sword OCIDateTimeGetDate(dvoid* hndl, OCIError* err, const OCIDateTime* date, sb2* yr, ub1* mnth, ub1* dy) {
  const OCIDateTime* dt = AsDateTime(date);
  if (!hndl || !IsHandle(err, OCI_HTYPE_ERROR) || !dt) return OCI_INVALID_HANDLE;
  ClearError(err);
  if (yr) *yr = static_cast<sb2>(dt->value.year);
  if (mnth) *mnth = static_cast<ub1>(dt->value.month);
  if (dy) *dy = static_cast<ub1>(dt->value.day);
  return OCI_SUCCESS;
}

sword OCIDateTimeGetTime(dvoid* hndl, OCIError* err, OCIDateTime* datetime, ub1* hr, ub1* mm, ub1* ss,
                         ub4* fsec) {
  const OCIDateTime* dt = AsDateTime(datetime);
  if (!hndl || !IsHandle(err, OCI_HTYPE_ERROR) || !dt) return OCI_INVALID_HANDLE;
  ClearError(err);
  if (hr) *hr = static_cast<ub1>(dt->value.hour);
  if (mm) *mm = static_cast<ub1>(dt->value.minute);
  if (ss) *ss = static_cast<ub1>(dt->value.second);
  if (fsec) *fsec = static_cast<ub4>(dt->value.nanos);
  return OCI_SUCCESS;
}

sword OCIDateTimeAssign(dvoid* hndl, OCIError* err, const OCIDateTime* from, OCIDateTime* to) {
  const OCIDateTime* src = AsDateTime(from);
  OCIDateTime* dst = AsDateTime(to);
  if (!hndl || !IsHandle(err, OCI_HTYPE_ERROR) || !src || !dst) return OCI_INVALID_HANDLE;
  ClearError(err);
  dst->value = ForKind(src->value, dst->type);
  return OCI_SUCCESS;
}

sword OCIDateTimeToText(dvoid* hndl, OCIError* err, const OCIDateTime* date, const text* fmt, ub1 fmt_length,
                        ub1 fsprec, const text*, size_t, ub4* buf_size, text* buf) {
  const OCIDateTime* dt = AsDateTime(date);
  if (!hndl || !IsHandle(err, OCI_HTYPE_ERROR) || !dt || !buf_size) return OCI_INVALID_HANDLE;
  return Guard(err, [&] {
    std::string format = fmt && fmt_length > 0 ? std::string(reinterpret_cast<const char*>(fmt), fmt_length)
                                               : std::string(DefaultFormat(dt->type));
    std::string result = FormatTimestamp(dt->value, format, fsprec);
    if (!buf || result.size() > *buf_size) throw MakeError(1877, "string is too long for internal buffer");
    std::memcpy(buf, result.data(), result.size());
    if (result.size() < *buf_size) buf[result.size()] = '\0';
    *buf_size = static_cast<ub4>(result.size());
    return OCI_SUCCESS;
  });
}

sword OCIDateTimeFromText(dvoid* hndl, OCIError* err, const text* date_str, size_t dstr_length,
                          const text* fmt, ub1 fmt_length, const text*, size_t, OCIDateTime* datetime) {
  OCIDateTime* dt = AsDateTime(datetime);
  if (!hndl || !IsHandle(err, OCI_HTYPE_ERROR) || !dt || !date_str) return OCI_INVALID_HANDLE;
  return Guard(err, [&] {
    std::string s(reinterpret_cast<const char*>(date_str), dstr_length);
    DateTime d;
    // The canonical form "YYYY-MM-DD HH24:MI:SS[.FF][ TZH:TZM]"; other texts by a date format.
    if (!ParseIso(s, d)) {
      std::string format = fmt && fmt_length > 0 ? std::string(reinterpret_cast<const char*>(fmt), fmt_length)
                                                 : std::string("DD-MON-RR HH24:MI:SS");
      d = ParseDate(s, format, NowLocal());
    }
    dt->value = ForKind(d, dt->type);
    return OCI_SUCCESS;
  });
}

}  // extern "C"
