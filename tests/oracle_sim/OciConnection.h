// One connection to the simulated instance through the handle API, for the client-library tests.
#pragma once

#include <cstring>
#include <memory>

#include "OciLoader.h"

inline const text* T(const char* s) {
  return reinterpret_cast<const text*>(s);
}

// One connection through the handle API.
struct Connection {
  OciLibrary& oci;
  OCIEnv* env;
  OCIError* err = nullptr;
  OCIServer* srv = nullptr;
  OCISvcCtx* svc = nullptr;
  OCISession* usr = nullptr;

  Connection(OciLibrary& o, OCIEnv* e) : oci(o), env(e) {
    oci.OCIHandleAlloc(env, reinterpret_cast<dvoid**>(&err), OCI_HTYPE_ERROR, 0, nullptr);
    oci.OCIHandleAlloc(env, reinterpret_cast<dvoid**>(&srv), OCI_HTYPE_SERVER, 0, nullptr);
    oci.OCIHandleAlloc(env, reinterpret_cast<dvoid**>(&svc), OCI_HTYPE_SVCCTX, 0, nullptr);
    oci.OCIHandleAlloc(env, reinterpret_cast<dvoid**>(&usr), OCI_HTYPE_SESSION, 0, nullptr);
  }
  ~Connection() {
    oci.OCIHandleFree(usr, OCI_HTYPE_SESSION);
    oci.OCIHandleFree(svc, OCI_HTYPE_SVCCTX);
    oci.OCIHandleFree(srv, OCI_HTYPE_SERVER);
    oci.OCIHandleFree(err, OCI_HTYPE_ERROR);
  }

  sword LogOn(const char* user, const char* password, const char* db = "SIM", ub4 mode = OCI_DEFAULT) {
    sword rc = oci.OCIServerAttach(srv, err, T(db), static_cast<sb4>(std::strlen(db)), OCI_DEFAULT);
    if (rc != OCI_SUCCESS) return rc;
    oci.OCIAttrSet(svc, OCI_HTYPE_SVCCTX, srv, 0, OCI_ATTR_SERVER, err);
    oci.OCIAttrSet(usr, OCI_HTYPE_SESSION, const_cast<char*>(user), static_cast<ub4>(std::strlen(user)),
                   OCI_ATTR_USERNAME, err);
    oci.OCIAttrSet(usr, OCI_HTYPE_SESSION, const_cast<char*>(password),
                   static_cast<ub4>(std::strlen(password)), OCI_ATTR_PASSWORD, err);
    oci.OCIAttrSet(svc, OCI_HTYPE_SVCCTX, usr, 0, OCI_ATTR_SESSION, err);
    return oci.OCISessionBegin(svc, err, usr, OCI_CRED_RDBMS, mode);
  }
  void LogOff() {
    oci.OCISessionEnd(svc, err, usr, OCI_DEFAULT);
    oci.OCIServerDetach(srv, err, OCI_DEFAULT);
  }
  int Code() { return ErrorOf(oci, err).first; }
  std::string Message() { return ErrorOf(oci, err).second; }

  // Prepares a statement on a new handle (freed by the caller or with the environment).
  OCIStmt* Prepare(const char* sql) {
    OCIStmt* st = nullptr;
    oci.OCIHandleAlloc(env, reinterpret_cast<dvoid**>(&st), OCI_HTYPE_STMT, 0, nullptr);
    EXPECT_EQ(
        oci.OCIStmtPrepare(st, err, T(sql), static_cast<ub4>(std::strlen(sql)), OCI_NTV_SYNTAX, OCI_DEFAULT),
        OCI_SUCCESS);
    return st;
  }
  sword Execute(OCIStmt* st, ub4 iters = 1, ub4 mode = OCI_DEFAULT) {
    return oci.OCIStmtExecute(svc, st, err, iters, 0, nullptr, nullptr, mode);
  }
  // Runs a statement without binds; the status.
  sword Run(const char* sql, ub4 mode = OCI_DEFAULT) {
    OCIStmt* st = Prepare(sql);
    sword rc = Execute(st, 1, mode);
    oci.OCIHandleFree(st, OCI_HTYPE_STMT);
    return rc;
  }
  ub4 RowCount(OCIStmt* st) {
    ub4 n = 0;
    oci.OCIAttrGet(st, OCI_HTYPE_STMT, &n, nullptr, OCI_ATTR_ROW_COUNT, err);
    return n;
  }
  // The single integer a query gives.
  int Scalar(const char* sql) {
    OCIStmt* st = Prepare(sql);
    int value = -1;
    sb2 ind = 0;
    OCIDefine* def = nullptr;
    oci.OCIDefineByPos(st, &def, err, 1, &value, sizeof value, SQLT_INT, &ind, nullptr, nullptr, OCI_DEFAULT);
    sword rc = Execute(st, 1);
    oci.OCIHandleFree(st, OCI_HTYPE_STMT);
    return rc == OCI_SUCCESS && ind == 0 ? value : -1000 - Code();
  }
};

// A test on a fresh instance with one environment and one connection logged on as `User`.
class OciConnectedTest : public ::testing::Test {
 protected:
  void LogOn(const char* User, const char* Password) {
    ASSERT_NE(oci.module, nullptr) << dlerror();
    ASSERT_EQ(
        oci.OCIEnvCreate(&env, OCI_THREADED | OCI_OBJECT, nullptr, nullptr, nullptr, nullptr, 0, nullptr),
        OCI_SUCCESS);
    conn = std::make_unique<Connection>(oci, env);
    ASSERT_EQ(conn->LogOn(User, Password), OCI_SUCCESS) << conn->Message();
  }
  void TearDown() override {
    if (conn) conn->LogOff();
    conn.reset();
    if (env) oci.OCIHandleFree(env, OCI_HTYPE_ENV);
  }

  ScratchInstance scratch;
  OciLibrary& oci = OciLibrary::Get();
  OCIEnv* env = nullptr;
  std::unique_ptr<Connection> conn;
};
