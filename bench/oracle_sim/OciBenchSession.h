// A logged-on session of the client library on an instance file of its own, for the benchmarks
// that go through the call interface.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "oracle/OracleCIApi.h"

inline const text* T(const char* s) {
  return reinterpret_cast<const text*>(s);
}

// Stops the benchmark program with the error of a failed call.
inline void Check(sword rc, OCIError* err, const char* what) {
  if (rc == OCI_SUCCESS || rc == OCI_SUCCESS_WITH_INFO) return;
  text buf[1024] = {};
  sb4 code = 0;
  OCIErrorGet(err, 1, nullptr, &code, buf, sizeof buf, OCI_HTYPE_ERROR);
  std::fprintf(stderr, "%s failed (%d): %s\n", what, rc, reinterpret_cast<char*>(buf));
  std::abort();
}

struct OciBenchSession {
  OCIEnv* env = nullptr;
  OCIError* err = nullptr;
  OCISvcCtx* svc = nullptr;
  std::filesystem::path dir;

  OciBenchSession(const std::string& name, const char* user, const char* password) {
    dir = std::filesystem::temp_directory_path() / ("talvik_" + name + "_" + std::to_string(getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    setenv("TALVIK_SIM_DB", (dir / "bench.db").c_str(), 1);
    OCIEnvCreate(&env, OCI_THREADED | OCI_OBJECT, nullptr, nullptr, nullptr, nullptr, 0, nullptr);
    OCIHandleAlloc(env, reinterpret_cast<dvoid**>(&err), OCI_HTYPE_ERROR, 0, nullptr);
    Check(OCILogon(env, err, &svc, T(user), static_cast<ub4>(std::strlen(user)), T(password),
                   static_cast<ub4>(std::strlen(password)), T("SIM"), 3),
          err, "logon");
  }
  ~OciBenchSession() {
    OCILogoff(svc, err);
    OCIHandleFree(env, OCI_HTYPE_ENV);
    std::filesystem::remove_all(dir);
  }
  OciBenchSession(const OciBenchSession&) = delete;
  OciBenchSession& operator=(const OciBenchSession&) = delete;

  // A new statement handle prepared with `sql`; the caller frees it.
  OCIStmt* Prepare(const char* sql) {
    OCIStmt* st = nullptr;
    OCIHandleAlloc(env, reinterpret_cast<dvoid**>(&st), OCI_HTYPE_STMT, 0, nullptr);
    OCIStmtPrepare(st, err, T(sql), static_cast<ub4>(std::strlen(sql)), OCI_NTV_SYNTAX, OCI_DEFAULT);
    return st;
  }

  // Binds the array at `p` (elements of `size` bytes) to placeholder `name`.
  void Bind(OCIStmt* st, const char* name, void* p, sb4 size, ub2 type) {
    OCIBind* b = nullptr;
    OCIBindByName(st, &b, err, T(name), -1, p, size, type, nullptr, nullptr, nullptr, 0, nullptr,
                  OCI_DEFAULT);
  }

  // Runs a statement without binds.
  void Run(const char* sql) {
    OCIStmt* st = Prepare(sql);
    Check(OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), err, sql);
    OCIHandleFree(st, OCI_HTYPE_STMT);
  }

  void Commit() { Check(OCITransCommit(svc, err, OCI_DEFAULT), err, "commit"); }

  // Inserts `rows` rows through the prepared statement `st` (then freed), `batch` at a time: `fill`
  // sets element i of the bound arrays to row n. Commits at the end.
  template <typename Fill>
  void InsertInBatches(OCIStmt* st, int rows, int batch, Fill&& fill) {
    for (int start = 0; start < rows; start += batch) {
      for (int i = 0; i < batch; ++i) fill(i, start + i);
      Check(OCIStmtExecute(svc, st, err, static_cast<ub4>(batch), 0, nullptr, nullptr, OCI_DEFAULT), err,
            "insert");
    }
    OCIHandleFree(st, OCI_HTYPE_STMT);
    Commit();
  }

  // Fetches the executed query `st` to the end, `arraySize` rows per call; the number of rows.
  int64_t FetchToEnd(OCIStmt* st, ub4 arraySize) {
    int64_t rows = 0;
    for (;;) {
      sword rc = OCIStmtFetch2(st, err, arraySize, OCI_FETCH_NEXT, 0, OCI_DEFAULT);
      ub4 got = 0;
      OCIAttrGet(st, OCI_HTYPE_STMT, &got, nullptr, OCI_ATTR_ROWS_FETCHED, err);
      rows += got;
      if (rc == OCI_NO_DATA) break;
      Check(rc, err, "fetch");
    }
    return rows;
  }
};
