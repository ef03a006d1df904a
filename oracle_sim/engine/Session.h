// The instance (one database file shared by every process that opens it) and a logged-on session of
// it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "oracle_sim/engine/Engine.h"

namespace oracle_sim {

// One database file; every process that opens the file, under any name that reaches it, sees the
// same instance.
class Instance {
 public:
  // Opens (creating with its schema, users and sample data when new) the instance stored at `path`.
  // A file that holds only part of an instance (some of its tables, or one never made to its end)
  // is left as it is, with nothing made beside it, and the open fails with ORA-01034. Throws
  // OraError when the file can't be opened.
  static std::shared_ptr<Instance> Open(const std::string& path);
  // Opens the instance stored at `path` only when the file holds a whole one already: a path where
  // there is nothing, or a file that holds no instance or only part of one, is left as it is, with
  // nothing made beside it, and the open fails with ORA-01034.
  static std::shared_ptr<Instance> OpenExisting(const std::string& path);
  ~Instance();

  // The name the instance at `path` is known by, whatever name reaches its file: the file's real
  // path, absolute, with "." and ".." resolved and every link followed, also a link to a file not
  // made yet (the file is made where the link points); for a file with more than one real name (hard
  // links, a bind mount), the one every process opens it by (the first it was opened by, recorded under
  // the file's device and inode number). What is kept per instance (the side files beside it, the
  // instances a process has open, its live sessions) is keyed by it.
  static std::string RealPath(const std::string& path);
  // The instance's real path (see RealPath).
  const std::string& Path() const;
  // "Oracle9i Enterprise Edition Release 9.2.0.8.0 - Production"
  static std::string Banner();
  // "9.2.0.8.0"
  static std::string VersionText();
  // Release number packed as the client reports it: 9.2.0.8.0 -> 0x09200800.
  static uint32_t ReleaseNumber();

  InstanceState& State() { return *state_; }

 private:
  Instance();
  // Open and OpenExisting once the path is known to be real.
  static std::shared_ptr<Instance> OpenAt(const std::string& path);
  std::unique_ptr<InstanceState> state_;
};

// One logged-on session.
class Session {
 public:
  // Throws OraError 1017 (wrong user/password), 28001 (password expired) ...
  // A password that is about to expire logs on and reports 28002 through LogonWarning().
  static std::unique_ptr<Session> LogOn(std::shared_ptr<Instance> instance, const std::string& user,
                                        const std::string& password);
  // Changes the password of a user, expired or not, and logs on with the new one: the old password
  // must be right (ORA-01017 otherwise). The client's password-change call uses it when the logon
  // failed with ORA-28001.
  static std::unique_ptr<Session> LogOnWithNewPassword(std::shared_ptr<Instance> instance,
                                                       const std::string& user,
                                                       const std::string& oldPassword,
                                                       const std::string& newPassword);
  ~Session();  // rolls back what is uncommitted and releases the session's locks

  // 0 or the code of the warning the logon raised (28002); LogonWarningText() gives its full text.
  int LogonWarning() const;
  const std::string& LogonWarningText() const;

  std::string ServerVersion() const { return Instance::Banner(); }
  const std::string& UserName() const;  // upper-case logon user, the default schema
  int SessionId() const;                // SID, unique within the instance
  const std::shared_ptr<Instance>& GetInstance() const;

  void Commit();
  void Rollback();
  // Interrupts the statement the session is running in another thread: that call fails with
  // ORA-01013 "user requested cancel of current operation". Harmless when idle.
  void Break();
  // Test hook: cuts the connection. The next call fails with ORA-03113, later ones with ORA-03114.
  void CutConnection();
  bool Connected() const;

  // Parses the statement; throws OraError on syntax errors and unknown objects.
  std::unique_ptr<Cursor> Prepare(const std::string& sql);

  // Which transaction of the session is under way: it changes at every commit and rollback.
  uint64_t TransactionNumber() const;
  // The folder a directory (CREATE DIRECTORY) names for BFILE values; false when there is none.
  bool DirectoryPath(const std::string& name, std::string& path);

  // Lines DBMS_OUTPUT holds for the session (after DBMS_OUTPUT.ENABLE), for tests.
  std::vector<std::string> PendingOutput() const;

  // ---- Named types and object tables
  // The type called `name`: "ADDRESS_T", "SCOTT.ADDRESS_T", "sys.xmltype" (case-insensitive unless
  // quoted); the current schema first, then PUBLIC synonyms and SYS. ORA-04043 "object NAME does
  // not exist" otherwise.
  TypeDesc DescribeType(const std::string& name);
  TypeDesc DescribeTypeByOid(const std::string& oid);
  // The row of an object table a REF names, as an object value. lock = true takes the row lock as
  // SELECT ... FOR UPDATE does (waiting for another session's lock). ORA-21700 "object does not
  // exist or is marked for delete" when the row is gone.
  Value PinObject(const std::string& refBytes, bool lock);
  // Updates / deletes the row a REF names.
  void FlushObject(const std::string& refBytes, const Value& obj);
  void DeleteObject(const std::string& refBytes);
  // Adds a row to an object table (schema "" = the current one); returns the new row's REF bytes.
  std::string InsertObject(const std::string& schema, const std::string& table, const Value& obj);
  // Owner and name of an object table; ORA-00942 when `table` is not one.
  std::pair<std::string, std::string> ObjectTable(const std::string& schema, const std::string& table);

  SessionState& State() { return *state_; }

 private:
  Session();
  std::unique_ptr<SessionState> state_;
  friend class Cursor;
};

}  // namespace oracle_sim
