// LOB locators: reading and writing CLOB and BLOB values with Oracle's 1-based offsets, temporary
// LOBs, buffering, locators returned by DML that write into their row, and BFILE locators over the
// files of a directory (CREATE DIRECTORY, or the instance's own folder of that name).
//
// Offsets and amounts count bytes for a BLOB and a BFILE and characters for a CLOB, whose text is
// UTF-8 (a varying-width character set): a CLOB read takes an amount in characters and gives back
// the bytes it put in the buffer, never part of a character; a CLOB write takes the buffer's bytes
// and gives back the characters written.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <unordered_map>

#include "oracle_sim/OciConvert.h"
#include "oracle_sim/OciInternal.h"

using namespace oracle_sim;
using namespace oracle_sim::oci;

namespace {

// Persistent LOBs written since their session last talked to the server, by session.
std::mutex dirtyLock;
std::unordered_map<Session*, std::set<OCILobLocator*>>& Dirty() {
  static auto* m = new std::unordered_map<Session*, std::set<OCILobLocator*>>();
  return *m;
}

std::string QuoteName(const std::string& name) {
  return "\"" + name + "\"";
}

// Sends one locator's value to its row (the caller holds dirtyLock or owns the locator).
void SendValue(OCILobLocator* l) {
  if (!l->session || l->rowids.empty()) return;
  bool empty = l->data.empty();
  std::string sql =
      "UPDATE " + QuoteName(l->owner) + "." + QuoteName(l->table) + " SET " + QuoteName(l->column) + " = " +
      (empty ? (l->lobType == SQLT_CLOB ? "EMPTY_CLOB()" : "EMPTY_BLOB()") : ":V") + " WHERE ROWID = :R";
  for (const std::string& rowid : l->rowids) {
    std::unique_ptr<Cursor> c = l->session->Prepare(sql);
    if (!empty)
      c->BindByName("V", l->lobType == SQLT_CLOB ? Value::MakeText(l->data) : Value::MakeBytes(l->data));
    c->BindByName("R", Value::MakeText(rowid));
    c->Execute(1);
    if (c->RowCount() > 0) break;
  }
  l->dirty = false;
}

void MarkWritten(OCILobLocator* l) {
  if (l->temporary || l->inObject || l->lobType == SQLT_BFILEE) return;
  if (l->rowids.empty() || !l->session) throw MakeError(22920, "row containing the LOB value is not locked");
  // The row was locked by a transaction that has ended since.
  if (l->session->TransactionNumber() != l->transaction)
    throw MakeError(22990, "LOB locators cannot span transactions");
  l->dirty = true;
  if (l->buffering) return;  // waits for OCILobFlushBuffer
  std::lock_guard<std::mutex> g(dirtyLock);
  Dirty()[l->session].insert(l);
}

OCILobLocator* RequireLob(OCILobLocator* l) {
  if (!l->init) throw MakeError(22275, "invalid LOB locator specified");
  return l;
}

char FillByte(const OCILobLocator* l) {
  return l->lobType == SQLT_CLOB ? ' ' : '\0';
}

bool IsClob(const OCILobLocator* l) {
  return l->lobType == SQLT_CLOB;
}

bool IsContinuation(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Characters of UTF-8 text: its bytes less the continuation bytes (10xxxxxx), eight at a time.
size_t CountChars(const char* p, size_t n) {
  size_t continuation = 0, i = 0;
  for (; i + 8 <= n; i += 8) {
    uint64_t x;
    std::memcpy(&x, p + i, 8);
    continuation +=
        static_cast<size_t>((((x & ~(x << 1) & 0x8080808080808080ull) >> 7) * 0x0101010101010101ull) >> 56);
  }
  for (; i < n; ++i) continuation += IsContinuation(p[i]);
  return n - continuation;
}

// Bytes of the UTF-8 sequence a lead byte starts.
size_t SequenceLength(char lead) {
  auto b = static_cast<unsigned char>(lead);
  return b < 0xC0 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
}

// Text given to a CLOB must be whole characters: no piece of one at either end.
void RequireWholeChars(const char* p, size_t n) {
  if (n == 0) return;
  bool whole = !IsContinuation(p[0]);
  size_t last = n - 1;
  while (last > 0 && IsContinuation(p[last]) && n - last < 4) --last;
  if (whole) whole = !IsContinuation(p[last]) && last + SequenceLength(p[last]) == n;
  if (!whole) throw MakeError(29275, "partial multibyte character");
}

// The LOB's length: characters of a CLOB, bytes otherwise.
size_t LobLength(OCILobLocator* l) {
  if (!IsClob(l)) return l->data.size();
  if (l->charsFor != l->data.size() || l->chars > l->data.size()) {
    l->chars = CountChars(l->data.data(), l->data.size());
    l->charsFor = l->data.size();
    l->markChar = l->markByte = 0;
  }
  return l->chars;
}

// After a change of a CLOB's text whose new length in characters the caller knows.
void SetLength(OCILobLocator* l, size_t chars) {
  l->chars = chars;
  l->charsFor = l->data.size();
  l->markChar = l->markByte = 0;
}

// Byte offset of 0-based character `ch` (the end of the value when beyond it). Walks from the
// remembered position when that lies before, so reading or writing in order stays linear.
size_t ByteOffset(OCILobLocator* l, size_t ch) {
  size_t length = LobLength(l);
  if (ch >= length) return l->data.size();
  if (length == l->data.size()) return ch;  // single-byte text
  size_t c = 0, b = 0;
  if (l->markChar <= ch) {
    c = l->markChar;
    b = l->markByte;
  }
  const char* p = l->data.data();
  const size_t n = l->data.size();
  for (; c < ch && b < n; ++c) {
    ++b;
    while (b < n && IsContinuation(p[b])) ++b;
  }
  l->markChar = ch;
  l->markByte = b;
  return b;
}

void Remember(OCILobLocator* l, size_t ch, size_t byte) {
  l->markChar = ch;
  l->markByte = byte;
}

// Writes `n` bytes at 0-based position `at` (characters of a CLOB, bytes otherwise), over what is
// there, filling a gap after the end by the LOB's fill character. Gives the amount written.
size_t Put(OCILobLocator* l, size_t at, const char* bytes, size_t n) {
  if (!IsClob(l)) {
    if (at > l->data.size()) l->data.resize(at, FillByte(l));
    if (at + n > l->data.size()) l->data.resize(at + n);
    if (n > 0) std::memcpy(&l->data[at], bytes, n);
    return n;
  }
  RequireWholeChars(bytes, n);
  size_t length = LobLength(l);
  size_t count = CountChars(bytes, n);
  if (at > length) {
    l->data.append(at - length, ' ');
    SetLength(l, at);
    length = at;
  }
  size_t from = ByteOffset(l, at);
  size_t to = ByteOffset(l, at + count);
  if (from == l->data.size())
    l->data.append(bytes, n);
  else if (to - from == n)
    std::memcpy(&l->data[from], bytes, n);
  else
    l->data.replace(from, to - from, bytes, n);
  SetLength(l, std::max(length, at + count));
  Remember(l, at + count, from + n);
  return count;
}

// Writes one piece of a piecewise write at the locator's piece offset and moves it on. A CLOB
// piece may end inside a character that the next piece finishes; the last piece may not.
size_t PutPiece(OCILobLocator* l, const char* p, size_t n, bool last) {
  std::string joined;
  if (IsClob(l) && !l->pieceTail.empty()) {
    joined = l->pieceTail + std::string(p, n);
    l->pieceTail.clear();
    p = joined.data();
    n = joined.size();
  }
  if (IsClob(l) && !last && n > 0) {
    size_t lead = n - 1;
    while (lead > 0 && IsContinuation(p[lead]) && n - lead < 4) --lead;
    if (!IsContinuation(p[lead]) && lead + SequenceLength(p[lead]) > n) {
      l->pieceTail.assign(p + lead, n - lead);
      n = lead;
    }
  }
  size_t written = Put(l, l->pieceOffset, p, n);
  l->pieceOffset += written;
  return written;
}

// The part of the value from position `at` (characters of a CLOB) of at most `amount` and at most
// `capacity` bytes, ending on a whole character: its byte range [first, last).
void Span(OCILobLocator* l, size_t at, size_t amount, size_t capacity, size_t& first, size_t& last) {
  first = ByteOffset(l, at);
  size_t length = LobLength(l);
  if (!IsClob(l) || length == l->data.size()) {
    last = first + std::min({amount, capacity, l->data.size() - first});
    if (IsClob(l)) Remember(l, at + (last - first), last);
    return;
  }
  // Whole characters (a byte and the continuation bytes after it, as they are counted), up to the
  // amount or the capacity.
  const char* p = l->data.data();
  const size_t n = l->data.size();
  const size_t limit = first + std::min(capacity, n - first);
  size_t b = first, chars = 0;
  while (chars < amount && b < limit) {
    // Eight bytes at a time while they end where a character begins.
    if (b + 8 <= limit && b + 8 < n && !IsContinuation(p[b + 8])) {
      size_t k = CountChars(p + b, 8);
      if (chars + k <= amount) {
        b += 8;
        chars += k;
        continue;
      }
    }
    size_t next = b + 1;
    while (next < n && IsContinuation(p[next])) ++next;
    if (next > limit) break;
    b = next;
    ++chars;
  }
  last = b;
  Remember(l, at + chars, last);
}

// The file a locator names: in the folder of its directory (CREATE DIRECTORY), or else in the
// instance's own folder of that name, "<instance file>.dir/<DIRECTORY>". Neither is ORA-22285.
std::string BfilePath(OCISvcCtx* svc, const OCILobLocator* l, const char* operation) {
  Session* s = svc ? svc->Engine() : nullptr;
  if (!s) throw MakeError(1012, "not logged on");
  std::string folder;
  if (!s->DirectoryPath(l->directory, folder)) {
    folder = s->GetInstance()->Path() + ".dir/" + l->directory;
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec))
      throw MakeError(22285, std::string("non-existent directory or file for ") + operation + " operation");
  }
  return folder + "/" + l->fileName;
}

bool FileExists(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return f.good();
}

void LoadFile(OCISvcCtx* svc, OCILobLocator* l) {
  std::string path = BfilePath(svc, l, "FILEOPEN");
  std::ifstream f(path, std::ios::binary);
  if (!f) throw MakeError(22288, "file or LOB operation FILEOPEN failed\nNo such file or directory");
  std::ostringstream os;
  os << f.rdbuf();
  l->data = os.str();
}

// The locator of a call made on the environment with one output, or nullptr for bad arguments.
template <typename T>
OCILobLocator* EnvCallLob(OCIEnv* env, OCIError* err, const OCILobLocator* loc, T* out) {
  OCILobLocator* l = AsLob(loc);
  if (!IsHandle(env, OCI_HTYPE_ENV) || !IsHandle(err, OCI_HTYPE_ERROR) || !l || !out) return nullptr;
  ClearError(err);
  return l;
}

OCILobLocator* RequireFile(OCILobLocator* l) {
  if (!l->init || l->lobType != SQLT_BFILEE) throw MakeError(22275, "invalid LOB locator specified");
  return l;
}

// Takes the locator off its session's list of pending writes.
void Undirty(OCILobLocator* l) {
  std::lock_guard<std::mutex> g(dirtyLock);
  if (!l->session) return;
  auto it = Dirty().find(l->session);
  if (it != Dirty().end()) it->second.erase(l);
}

OCISvcCtx* RequireSvc(OCISvcCtx* svc) {
  if (!svc->Engine()) throw MakeError(1012, "not logged on");
  return svc;
}

}  // namespace

OCILobLocator::~OCILobLocator() {
  std::lock_guard<std::mutex> g(dirtyLock);
  if (!session) return;
  auto it = Dirty().find(session);
  if (it == Dirty().end()) return;
  if (it->second.erase(this) > 0) {
    try {
      SendValue(this);
    } catch (...) {
      // the write is lost with the locator; the statement that follows reports the session's state
    }
  }
}

namespace oracle_sim::oci {

OCILobLocator* AsLob(const void* d) {
  if (IsHandle(d, OCI_DTYPE_LOB) || IsHandle(d, OCI_DTYPE_FILE))
    return static_cast<OCILobLocator*>(const_cast<HandleBase*>(static_cast<const HandleBase*>(d)));
  return nullptr;
}

bool IsLobType(ub2 dty) {
  return dty == SQLT_CLOB || dty == SQLT_BLOB || dty == SQLT_BFILEE;
}

void FlushLobs(Session* session) {
  if (!session) return;
  std::lock_guard<std::mutex> g(dirtyLock);
  auto it = Dirty().find(session);
  if (it == Dirty().end()) return;
  std::set<OCILobLocator*> pending = std::move(it->second);
  Dirty().erase(it);
  for (OCILobLocator* l : pending) SendValue(l);
}

void ForgetLobs(Session* session) {
  std::lock_guard<std::mutex> g(dirtyLock);
  auto it = Dirty().find(session);
  if (it == Dirty().end()) return;
  for (OCILobLocator* l : it->second) {
    l->dirty = false;
    l->session = nullptr;
  }
  Dirty().erase(it);
}

namespace {

OCILobLocator* LocatorAt(const void* buf, ub4 length) {
  if (!buf || length < sizeof(void*)) throw MakeError(932, "inconsistent datatypes");
  void* d = nullptr;
  std::memcpy(&d, buf, sizeof d);
  OCILobLocator* l = AsLob(d);
  if (!l) throw MakeError(22275, "invalid LOB locator specified");
  return l;
}

}  // namespace

Value ReadLobLocator(ub2 dty, const void* buf, ub4 length) {
  OCILobLocator* l = LocatorAt(buf, length);
  if (!l->init) return Value();
  // A file locator goes to the server as the file it names.
  if (l->lobType == SQLT_BFILEE) return Value::MakeText(l->directory + "/" + l->fileName);
  if (dty == SQLT_BFILEE) throw MakeError(932, "inconsistent datatypes");
  Value v;
  v.kind = dty == SQLT_CLOB ? Value::Text : Value::Bytes;
  v.s = l->data;
  return v;
}

WriteOutcome WriteLobLocator(ub2 dty, const Value& v, void* buf, ub4 size) {
  OCILobLocator* l = LocatorAt(buf, size);
  if (v.kind == Value::Date || v.kind == Value::Int || v.kind == Value::Real) {
    if (dty != SQLT_CLOB) throw MakeError(932, "inconsistent datatypes");
  }
  std::string directory, fileName;
  if (dty == SQLT_BFILEE) {
    // A BFILE value: "DIRECTORY/file name".
    std::string text = v.kind == Value::Text ? v.s : std::string();
    size_t slash = text.find('/');
    if (slash == std::string::npos || slash == 0 || slash + 1 == text.size())
      throw MakeError(932, "inconsistent datatypes");
    directory = text.substr(0, slash);
    fileName = text.substr(slash + 1);
  }
  Undirty(l);
  l->init = true;
  l->lobType = static_cast<ub1>(dty);
  l->temporary = false;
  l->inObject = false;
  l->directory = std::move(directory);
  l->fileName = std::move(fileName);
  l->fileOpen = false;
  if (dty == SQLT_BFILEE)
    l->data.clear();
  else
    l->data = v.kind == Value::Text || v.kind == Value::Bytes ? v.s : ValueText(v);
  l->charsFor = static_cast<size_t>(-1);  // counted when first asked
  l->owner.clear();
  l->table.clear();
  l->column.clear();
  l->rowids.clear();
  l->session = nullptr;
  l->dirty = false;
  l->pieceActive = false;
  return WriteOutcome{static_cast<ub4>(sizeof(void*)), static_cast<ub4>(sizeof(void*)), 0};
}

namespace {

// Points a persistent LOB's locator at the row (of `where`'s table and column) it came from.
void TieToRow(OCILobLocator* l, const ColumnDesc& where, std::vector<std::string> rowids, Session* session) {
  l->owner = where.schema;
  l->table = where.table;
  l->column = where.name;
  if (!where.table.empty()) {
    l->rowids = std::move(rowids);
    l->session = session;
    l->transaction = session ? session->TransactionNumber() : 0;
  }
}

}  // namespace

void AttachLobRow(OCIStmt* st, OCIDefine* d, ub4 row, const Value& v, size_t column) {
  if (!d->valuep) return;
  size_t stride = d->valueSkip ? d->valueSkip : static_cast<size_t>(std::max<sb4>(d->valueSize, 0));
  void* cell = static_cast<char*>(d->valuep) + stride * row;
  void* p = nullptr;
  std::memcpy(&p, cell, sizeof p);
  OCILobLocator* l = AsLob(p);
  if (!l) return;
  if (v.IsNull()) {
    l->init = false;
    l->data.clear();
    return;
  }
  if (l->lobType == SQLT_BFILEE) return;  // files are read only
  const ColumnDesc& desc = st->cursor->Describe().at(column);
  TieToRow(l, desc, desc.table.empty() ? std::vector<std::string>() : st->cursor->LockedRowids(),
           st->svc ? st->svc->Engine() : nullptr);
}

void AttachReturnedLob(OCIStmt* st, const void* cell, const std::string& name) {
  void* p = nullptr;
  std::memcpy(&p, cell, sizeof p);
  OCILobLocator* l = AsLob(p);
  ColumnDesc where;
  std::string rowid;
  if (!l || !l->init || !st->cursor->ReturnedRow(name, where, rowid)) return;
  // The row the DML wrote is locked by it: the locator writes into that row.
  TieToRow(l, where, {rowid}, st->svc ? st->svc->Engine() : nullptr);
}

}  // namespace oracle_sim::oci

// ---- Entry points -------------------------------------------------------------------------------

#define LOB_ARGS(svc, err, loc)  \
  OCILobLocator* l = AsLob(loc); \
  if (!IsHandle(svc, OCI_HTYPE_SVCCTX) || !IsHandle(err, OCI_HTYPE_ERROR) || !l) return OCI_INVALID_HANDLE

extern "C" {

sword OCILobCreateTemporary(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub2, ub1, ub1 lobtype,
                            boolean, OCIDuration) {
  LOB_ARGS(svchp, errhp, locp);
  return Guard(errhp, [&] {
    RequireSvc(svchp);
    if (lobtype != OCI_TEMP_BLOB && lobtype != OCI_TEMP_CLOB)
      throw MakeError(22275, "invalid LOB locator specified");
    WriteLobLocator(lobtype == OCI_TEMP_CLOB ? SQLT_CLOB : SQLT_BLOB, Value(), &locp, sizeof locp);
    l->temporary = true;
    l->data.clear();
    return OCI_SUCCESS;
  });
}

sword OCILobFreeTemporary(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp) {
  LOB_ARGS(svchp, errhp, locp);
  return Guard(errhp, [&] {
    if (!l->init || !l->temporary) throw MakeError(22275, "invalid LOB locator specified");
    l->init = false;
    l->temporary = false;
    l->data.clear();
    l->data.shrink_to_fit();
    return OCI_SUCCESS;
  });
}

sword OCILobIsTemporary(OCIEnv* envhp, OCIError* errhp, OCILobLocator* locp, boolean* is_temporary) {
  OCILobLocator* l = EnvCallLob(envhp, errhp, locp, is_temporary);
  if (!l) return OCI_INVALID_HANDLE;
  *is_temporary = l->init && l->temporary;
  return OCI_SUCCESS;
}

sword OCILobLocatorIsInit(OCIEnv* envhp, OCIError* errhp, const OCILobLocator* locp,
                          boolean* is_initialized) {
  OCILobLocator* l = EnvCallLob(envhp, errhp, locp, is_initialized);
  if (!l) return OCI_INVALID_HANDLE;
  *is_initialized = l->init;
  return OCI_SUCCESS;
}

sword OCILobGetLength(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4* lenp) {
  LOB_ARGS(svchp, errhp, locp);
  return Guard(errhp, [&] {
    RequireLob(l);
    if (!lenp) throw MakeError(22275, "invalid LOB locator specified");
    if (l->lobType == SQLT_BFILEE) {
      std::string path = BfilePath(svchp, l, "GETLENGTH");
      std::ifstream f(path, std::ios::binary | std::ios::ate);
      if (!f) throw MakeError(22288, "file or LOB operation GETLENGTH failed\nNo such file or directory");
      *lenp = static_cast<ub4>(f.tellg());
      return OCI_SUCCESS;
    }
    *lenp = static_cast<ub4>(LobLength(l));
    return OCI_SUCCESS;
  });
}

sword OCILobRead(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4* amtp, ub4 offset, dvoid* bufp,
                 ub4 bufl, dvoid* ctxp, OCICallbackLobRead cbfp, ub2, ub1) {
  LOB_ARGS(svchp, errhp, locp);
  return Guard(errhp, [&]() -> sword {
    RequireSvc(svchp);
    RequireLob(l);
    if (!amtp || (!bufp && bufl > 0)) throw MakeError(24801, "illegal parameter value in OCI lob function");
    if (offset == 0) throw MakeError(24801, "illegal parameter value in OCI lob function");
    if (l->lobType == SQLT_BFILEE && !l->fileOpen)
      throw MakeError(22289, "cannot perform FILEREAD operation on an unopened file or LOB");
    size_t start = offset - 1;
    size_t length = LobLength(l);
    if (start >= length) {
      *amtp = 0;
      return OCI_NO_DATA;
    }
    size_t wanted = *amtp == 0 ? length - start : std::min<size_t>(*amtp, length - start);
    // The amount given back counts the bytes put in the buffer.
    size_t first = 0, last = 0;
    if (cbfp) {
      // Streamed to the callback in buffer-sized pieces of whole characters.
      size_t done = 0, at = start, bytes = 0;
      bool firstPiece = true;
      while (done < wanted) {
        Span(l, at, wanted - done, bufl, first, last);
        if (last == first) throw MakeError(24801, "illegal parameter value in OCI lob function");
        std::memcpy(bufp, l->data.data() + first, last - first);
        size_t chars = IsClob(l) ? CountChars(l->data.data() + first, last - first) : last - first;
        done += chars;
        at += chars;
        bytes += last - first;
        ub1 piece = firstPiece ? (done == wanted ? OCI_ONE_PIECE : OCI_FIRST_PIECE)
                               : (done == wanted ? OCI_LAST_PIECE : OCI_NEXT_PIECE);
        firstPiece = false;
        if (cbfp(ctxp, bufp, static_cast<ub4>(last - first), piece) != OCI_CONTINUE) break;
      }
      *amtp = static_cast<ub4>(bytes);
      return OCI_SUCCESS;
    }
    Span(l, start, wanted, bufl, first, last);
    // A buffer too small for even one character would read nothing, forever.
    if (last == first && bufl > 0) throw MakeError(24801, "illegal parameter value in OCI lob function");
    if (last > first) std::memcpy(bufp, l->data.data() + first, last - first);
    *amtp = static_cast<ub4>(last - first);
    return OCI_SUCCESS;
  });
}

sword OCILobWrite(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4* amtp, ub4 offset, dvoid* bufp,
                  ub4 buflen, ub1 piece, dvoid* ctxp, OCICallbackLobWrite cbfp, ub2, ub1) {
  LOB_ARGS(svchp, errhp, locp);
  return Guard(errhp, [&]() -> sword {
    RequireSvc(svchp);
    RequireLob(l);
    if (l->lobType == SQLT_BFILEE)
      throw MakeError(22286, "insufficient privileges on file or directory to perform FILEWRITE operation");
    if (!amtp || (!bufp && buflen > 0)) throw MakeError(24801, "illegal parameter value in OCI lob function");
    if (piece == OCI_ONE_PIECE || piece == OCI_FIRST_PIECE) {
      if (offset == 0) throw MakeError(24801, "illegal parameter value in OCI lob function");
      l->pieceOffset = offset - 1;
      l->pieceActive = piece == OCI_FIRST_PIECE;
      l->pieceTail.clear();
    } else if (!l->pieceActive || piece > OCI_LAST_PIECE) {
      throw MakeError(24801, "illegal parameter value in OCI lob function");
    }
    // The amount given counts bytes (a CLOB's text is of varying width); the amount given back
    // counts what was written: characters of a CLOB.
    size_t n = piece == OCI_ONE_PIECE && *amtp > 0 ? std::min<size_t>(*amtp, buflen) : buflen;
    size_t total =
        PutPiece(l, static_cast<const char*>(bufp), n, piece == OCI_ONE_PIECE || piece == OCI_LAST_PIECE);
    if (cbfp && piece != OCI_ONE_PIECE) {
      // The callback gives the following pieces into the same buffer.
      for (ub1 next = piece; next != OCI_LAST_PIECE;) {
        ub4 len = buflen;
        if (cbfp(ctxp, bufp, &len, &next) != OCI_CONTINUE) break;
        total += PutPiece(l, static_cast<const char*>(bufp), std::min(len, buflen), next == OCI_LAST_PIECE);
      }
      l->pieceActive = false;
      if (!l->pieceTail.empty()) throw MakeError(29275, "partial multibyte character");
    }
    MarkWritten(l);
    *amtp = static_cast<ub4>(total);
    if (piece == OCI_LAST_PIECE) l->pieceActive = false;
    if (l->pieceActive) return OCI_NEED_DATA;
    return OCI_SUCCESS;
  });
}

sword OCILobTrim(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4 newlen) {
  LOB_ARGS(svchp, errhp, locp);
  return Guard(errhp, [&] {
    RequireSvc(svchp);
    RequireLob(l);
    if (l->lobType == SQLT_BFILEE)
      throw MakeError(22286, "insufficient privileges on file or directory to perform TRIM operation");
    if (newlen > LobLength(l))
      throw MakeError(22926, "specified trim length is greater than current LOB value's length");
    l->data.resize(ByteOffset(l, newlen));
    SetLength(l, newlen);
    MarkWritten(l);
    return OCI_SUCCESS;
  });
}

sword OCILobErase(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4* amount, ub4 offset) {
  LOB_ARGS(svchp, errhp, locp);
  return Guard(errhp, [&] {
    RequireSvc(svchp);
    RequireLob(l);
    if (!amount || offset == 0) throw MakeError(24801, "illegal parameter value in OCI lob function");
    if (l->lobType == SQLT_BFILEE)
      throw MakeError(22286, "insufficient privileges on file or directory to perform ERASE operation");
    size_t start = offset - 1;
    size_t length = LobLength(l);
    size_t n = start >= length ? 0 : std::min<size_t>(*amount, length - start);
    size_t from = ByteOffset(l, start), to = ByteOffset(l, start + n);
    if (to - from == n)
      std::fill_n(l->data.begin() + static_cast<std::ptrdiff_t>(from), n, FillByte(l));
    else
      l->data.replace(from, to - from, n, FillByte(l));
    SetLength(l, length);
    *amount = static_cast<ub4>(n);
    if (n > 0) MarkWritten(l);
    return OCI_SUCCESS;
  });
}

sword OCILobAppend(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* dst_locp, OCILobLocator* src_locp) {
  LOB_ARGS(svchp, errhp, dst_locp);
  OCILobLocator* src = AsLob(src_locp);
  if (!src) return OCI_INVALID_HANDLE;
  return Guard(errhp, [&] {
    RequireSvc(svchp);
    RequireLob(l);
    RequireLob(src);
    if (l->lobType != src->lobType || l->lobType == SQLT_BFILEE)
      throw MakeError(932, "inconsistent datatypes");
    size_t length = LobLength(l) + LobLength(src);
    std::string copy = src->data;  // the source may be the destination
    l->data += copy;
    SetLength(l, length);
    MarkWritten(l);
    return OCI_SUCCESS;
  });
}

sword OCILobCopy(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* dst_locp, OCILobLocator* src_locp,
                 ub4 amount, ub4 dst_offset, ub4 src_offset) {
  LOB_ARGS(svchp, errhp, dst_locp);
  OCILobLocator* src = AsLob(src_locp);
  if (!src) return OCI_INVALID_HANDLE;
  return Guard(errhp, [&] {
    RequireSvc(svchp);
    RequireLob(l);
    RequireLob(src);
    if (dst_offset == 0 || src_offset == 0)
      throw MakeError(24801, "illegal parameter value in OCI lob function");
    if (l->lobType == SQLT_BFILEE) throw MakeError(932, "inconsistent datatypes");
    if (src->lobType == SQLT_BFILEE && !src->fileOpen)
      throw MakeError(22289, "cannot perform FILEREAD operation on an unopened file or LOB");
    size_t first = 0, last = 0;
    Span(src, src_offset - 1, amount, src->data.size(), first, last);
    std::string piece = src->data.substr(first, last - first);
    Put(l, dst_offset - 1, piece.data(), piece.size());
    MarkWritten(l);
    return OCI_SUCCESS;
  });
}

sword OCILobLoadFromFile(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* dst_locp, OCILobLocator* src_filep,
                         ub4 amount, ub4 dst_offset, ub4 src_offset) {
  return OCILobCopy(svchp, errhp, dst_locp, src_filep, amount, dst_offset, src_offset);
}

sword OCILobIsEqual(OCIEnv* envhp, const OCILobLocator* x, const OCILobLocator* y, boolean* is_equal) {
  OCILobLocator* a = AsLob(x);
  OCILobLocator* b = AsLob(y);
  if (!IsHandle(envhp, OCI_HTYPE_ENV) || !a || !b || !is_equal) return OCI_INVALID_HANDLE;
  // The same LOB: the same locator, or the same row and column of a table, or the same file.
  bool same = a == b;
  if (!same && a->init && b->init && a->lobType == b->lobType) {
    if (a->lobType == SQLT_BFILEE)
      same = a->directory == b->directory && a->fileName == b->fileName;
    else if (!a->temporary && !b->temporary && !a->rowids.empty())
      same = a->owner == b->owner && a->table == b->table && a->column == b->column && a->rowids == b->rowids;
  }
  *is_equal = same;
  return OCI_SUCCESS;
}

sword OCILobAssign(OCIEnv* envhp, OCIError* errhp, const OCILobLocator* src_locp, OCILobLocator** dst_locpp) {
  OCILobLocator* src = AsLob(src_locp);
  if (!IsHandle(envhp, OCI_HTYPE_ENV) || !IsHandle(errhp, OCI_HTYPE_ERROR) || !src || !dst_locpp)
    return OCI_INVALID_HANDLE;
  OCILobLocator* dst = AsLob(*dst_locpp);
  if (!dst) return OCI_INVALID_HANDLE;
  ClearError(errhp);
  if (dst == src) return OCI_SUCCESS;
  Undirty(dst);
  // A temporary LOB is copied into a temporary LOB of its own; a persistent one points at the row.
  dst->init = src->init;
  dst->lobType = src->lobType;
  dst->temporary = src->temporary;
  dst->data = src->data;
  dst->chars = src->chars;
  dst->charsFor = src->charsFor;
  dst->markChar = dst->markByte = 0;
  dst->owner = src->owner;
  dst->table = src->table;
  dst->column = src->column;
  dst->rowids = src->rowids;
  dst->session = src->session;
  dst->transaction = src->transaction;
  dst->dirty = false;
  dst->buffering = false;
  dst->pieceActive = false;
  dst->directory = src->directory;
  dst->fileName = src->fileName;
  dst->fileOpen = false;
  return OCI_SUCCESS;
}

sword OCILobCharSetForm(OCIEnv* envhp, OCIError* errhp, const OCILobLocator* locp, ub1* csfrm) {
  OCILobLocator* l = EnvCallLob(envhp, errhp, locp, csfrm);
  if (!l) return OCI_INVALID_HANDLE;
  *csfrm = l->lobType == SQLT_CLOB ? 1 : 0;
  return OCI_SUCCESS;
}

sword OCILobCharSetId(OCIEnv* envhp, OCIError* errhp, const OCILobLocator* locp, ub2* csid) {
  OCILobLocator* l = EnvCallLob(envhp, errhp, locp, csid);
  if (!l) return OCI_INVALID_HANDLE;
  *csid = l->lobType == SQLT_CLOB ? 873 : 0;  // AL32UTF8
  return OCI_SUCCESS;
}

sword OCILobEnableBuffering(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp) {
  LOB_ARGS(svchp, errhp, locp);
  return Guard(errhp, [&] {
    RequireLob(l);
    l->buffering = true;
    return OCI_SUCCESS;
  });
}

sword OCILobFlushBuffer(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4) {
  LOB_ARGS(svchp, errhp, locp);
  return Guard(errhp, [&] {
    RequireLob(l);
    if (l->dirty && l->session) {
      Undirty(l);
      SendValue(l);
    }
    return OCI_SUCCESS;
  });
}

sword OCILobDisableBuffering(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp) {
  sword s = OCILobFlushBuffer(svchp, errhp, locp, 0);
  if (s == OCI_SUCCESS) AsLob(locp)->buffering = false;
  return s;
}

// ---- Files ----

sword OCILobFileSetName(OCIEnv* envhp, OCIError* errhp, OCILobLocator** filepp, const text* dir_alias,
                        ub2 d_length, const text* filename, ub2 f_length) {
  if (!IsHandle(envhp, OCI_HTYPE_ENV) || !IsHandle(errhp, OCI_HTYPE_ERROR) || !filepp ||
      !IsHandle(*filepp, OCI_DTYPE_FILE))
    return OCI_INVALID_HANDLE;
  return Guard(errhp, [&] {
    OCILobLocator* l = *filepp;
    std::string dir = dir_alias ? std::string(reinterpret_cast<const char*>(dir_alias), d_length) : "";
    std::string name = filename ? std::string(reinterpret_cast<const char*>(filename), f_length) : "";
    if (dir.empty() || name.empty() || name.find('/') != std::string::npos ||
        dir.find('/') != std::string::npos || name == ".." || dir == "..")
      throw MakeError(22285, "non-existent directory or file for FILEOPEN operation");
    l->init = true;
    l->lobType = SQLT_BFILEE;
    l->temporary = false;
    l->directory = dir;
    l->fileName = name;
    l->fileOpen = false;
    l->data.clear();
    return OCI_SUCCESS;
  });
}

sword OCILobFileGetName(OCIEnv* envhp, OCIError* errhp, const OCILobLocator* filep, text* dir_alias,
                        ub2* d_length, text* filename, ub2* f_length) {
  OCILobLocator* l = AsLob(filep);
  if (!IsHandle(envhp, OCI_HTYPE_ENV) || !IsHandle(errhp, OCI_HTYPE_ERROR) || !l || !d_length || !f_length)
    return OCI_INVALID_HANDLE;
  return Guard(errhp, [&] {
    RequireFile(l);
    if (l->directory.size() > *d_length || l->fileName.size() > *f_length || !dir_alias || !filename)
      throw MakeError(24801, "illegal parameter value in OCI lob function");
    std::memcpy(dir_alias, l->directory.data(), l->directory.size());
    std::memcpy(filename, l->fileName.data(), l->fileName.size());
    *d_length = static_cast<ub2>(l->directory.size());
    *f_length = static_cast<ub2>(l->fileName.size());
    return OCI_SUCCESS;
  });
}

sword OCILobFileOpen(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* filep, ub1 mode) {
  LOB_ARGS(svchp, errhp, filep);
  return Guard(errhp, [&] {
    RequireFile(l);
    if (mode != OCI_FILE_READONLY)
      throw MakeError(22286, "insufficient privileges on file or directory to perform FILEOPEN operation");
    LoadFile(svchp, l);
    l->fileOpen = true;
    return OCI_SUCCESS;
  });
}

sword OCILobFileClose(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* filep) {
  LOB_ARGS(svchp, errhp, filep);
  return Guard(errhp, [&] {
    RequireFile(l);
    l->fileOpen = false;
    l->data.clear();
    return OCI_SUCCESS;
  });
}

sword OCILobFileCloseAll(OCISvcCtx* svchp, OCIError* errhp) {
  if (!IsHandle(svchp, OCI_HTYPE_SVCCTX) || !IsHandle(errhp, OCI_HTYPE_ERROR)) return OCI_INVALID_HANDLE;
  ClearError(errhp);
  std::lock_guard<std::mutex> g(svchp->env->lock);
  for (HandleBase* h : svchp->env->children)
    if (OCILobLocator* l = AsLob(h)) {
      l->fileOpen = false;
      if (l->lobType == SQLT_BFILEE) l->data.clear();
    }
  return OCI_SUCCESS;
}

sword OCILobFileIsOpen(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* filep, boolean* flag) {
  LOB_ARGS(svchp, errhp, filep);
  return Guard(errhp, [&] {
    if (!flag) throw MakeError(24801, "illegal parameter value in OCI lob function");
    RequireFile(l);
    *flag = l->fileOpen;
    return OCI_SUCCESS;
  });
}

sword OCILobFileExists(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* filep, boolean* flag) {
  LOB_ARGS(svchp, errhp, filep);
  return Guard(errhp, [&] {
    if (!flag) throw MakeError(24801, "illegal parameter value in OCI lob function");
    RequireFile(l);
    *flag = FileExists(BfilePath(RequireSvc(svchp), l, "FILEEXISTS"));
    return OCI_SUCCESS;
  });
}

}  // extern "C"
