/* The Oracle call interface as Talvik uses it: data types, constants and every entry point of the
 * client library, in both call generations (the host calls on logon and cursor data areas, and the
 * handle-based calls).
 *
 * This header is shared by the simulated client library (oracle_sim, built as libclntsh.so) and by
 * the Oracle access unit that loads a client library at run time and binds its entry points by name.
 * The entry points are listed once, in TALVIK_OCI_ENTRY_POINTS, from which the prototypes below, the
 * function-pointer types of the binding and the library's export list are all generated.
 *
 * Handles, descriptors and object ids are pointers (8 bytes in this 64-bit build). The logon data
 * area and the cursor data area are 64 bytes, the host data area 256 bytes; a data area holds the
 * pointer of the connection or cursor it stands for in its `handle` field.
 */
#ifndef TALVIK_ORACLE_ORACLECIAPI_H
#define TALVIK_ORACLE_ORACLECIAPI_H

#include <stddef.h>

/* ---------------------------------------------------------------------------------------------- */
/* Scalar types                                                                                    */

typedef unsigned char ub1;
typedef signed char sb1;
typedef unsigned short ub2;
typedef signed short sb2;
typedef unsigned int ub4;
typedef signed int sb4;
typedef int sword;
typedef unsigned int uword;
typedef int eword;
typedef unsigned char text;
typedef unsigned char OraText;
typedef unsigned char oratext;
typedef void dvoid;
typedef int boolean;
typedef sb2 OCIInd;
typedef ub2 OCITypeCode;
typedef ub2 OCIDuration;
typedef int OCIPinOpt;
typedef int OCILockOpt;
typedef int OCITypeGetOpt;

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

/* ---------------------------------------------------------------------------------------------- */
/* Handles and descriptors (opaque)                                                                */

typedef struct OCIEnv OCIEnv;
typedef struct OCIError OCIError;
typedef struct OCISvcCtx OCISvcCtx;
typedef struct OCIStmt OCIStmt;
typedef struct OCIBind OCIBind;
typedef struct OCIDefine OCIDefine;
typedef struct OCIDescribe OCIDescribe;
typedef struct OCIServer OCIServer;
typedef struct OCISession OCISession;
typedef struct OCISession OCIAuthInfo; /* the authentication-information handle is a user session */
typedef struct OCITrans OCITrans;
typedef struct OCISPool OCISPool;
typedef struct OCIComplexObject OCIComplexObject;
typedef struct OCIComplexObjectComp OCIComplexObjectComp;
typedef struct OCISnapshot OCISnapshot;
typedef struct OCIResult OCIResult;
typedef struct OCILobLocator OCILobLocator;
typedef struct OCIParam OCIParam;
typedef struct OCIRowid OCIRowid;
typedef struct OCIDateTime OCIDateTime;
typedef struct OCIInterval OCIInterval;
typedef struct OCIType OCIType;
typedef struct OCIRef OCIRef;
typedef struct OCIString OCIString;
typedef struct OCIRaw OCIRaw;
typedef struct OCIColl OCIColl;
typedef struct OCIColl OCITable;
typedef struct OCIDirPathCtx OCIDirPathCtx;
typedef struct OCIDirPathColArray OCIDirPathColArray;
typedef struct OCIDirPathStream OCIDirPathStream;

/* An Oracle NUMBER in its internal form: byte 0 is the length, then exponent and mantissa. */
typedef struct OCINumber {
  ub1 OCINumberPart[22];
} OCINumber;

/* The client's structured date. */
typedef struct OCITime {
  ub1 OCITimeHH;
  ub1 OCITimeMI;
  ub1 OCITimeSS;
} OCITime;
typedef struct OCIDate {
  sb2 OCIDateYYYY;
  ub1 OCIDateMM;
  ub1 OCIDateDD;
  OCITime OCIDateTime;
} OCIDate;

/* ---------------------------------------------------------------------------------------------- */
/* Host-call generation: logon, host and cursor data areas                                         */

/* The cursor data area (64 bytes). The logon data area has the same layout. */
typedef struct cda_def {
  sb2 v2_rc;     /*  0: return code of the version-2 interface (unused) */
  ub2 ft;        /*  2: SQL function type of the parsed statement */
  ub4 rpc;       /*  4: rows processed */
  ub2 peo;       /*  8: parse error offset */
  ub1 fc;        /* 10: function code of the last host call */
  ub1 rcs1;      /* 11: reserved */
  ub2 rc;        /* 12: Oracle error code of the last call (0 = success) */
  ub1 wrn;       /* 14: warning flags */
  ub1 rcs2;      /* 15: reserved */
  sword rcs3;    /* 16: reserved */
  ub4 rid_obj;   /* 20: ROWID of the last processed row: data object number */
  ub4 rid_block; /* 24: block number */
  ub2 rid_file;  /* 28: relative file number */
  ub2 rid_slot;  /* 30: slot number */
  sword ose;     /* 32: operating-system error code */
  ub1 chk;       /* 36: set to the open mark while the area is open */
  ub1 rcs4[3];   /* 37: reserved */
  dvoid* handle; /* 40: the cursor or connection the area stands for */
  ub1 rcs5[16];  /* 48: reserved */
} Cda_Def;
typedef struct cda_def Lda_Def;

#define TALVIK_CDA_SIZE 64
#define TALVIK_LDA_SIZE 64
#define TALVIK_HDA_SIZE 256

/* ---------------------------------------------------------------------------------------------- */
/* Statuses                                                                                        */

#define OCI_SUCCESS 0
#define OCI_SUCCESS_WITH_INFO 1
#define OCI_RESERVED_FOR_INT_USE 200
#define OCI_NO_DATA 100
#define OCI_ERROR (-1)
#define OCI_INVALID_HANDLE (-2)
#define OCI_NEED_DATA 99
#define OCI_STILL_EXECUTING (-3123)
#define OCI_CONTINUE (-24200)

/* ---------------------------------------------------------------------------------------------- */
/* Oracle error numbers the library and the programs on it test for (their texts are the server's) */

enum {
  ORA_UNIQUE_VIOLATED = 1,
  ORA_SESSION_KILLED = 28,
  ORA_RESOURCE_BUSY = 54,
  ORA_INVALID_IDENTIFIER = 904,
  ORA_TABLE_NOT_FOUND = 942,
  ORA_MAX_OPEN_CURSORS = 1000,
  ORA_VARIABLE_NOT_IN_SELECT_LIST = 1007,
  ORA_NOT_LOGGED_ON = 1012,
  ORA_USER_CANCEL = 1013,
  ORA_NO_DATA_FOUND = 1403,
  ORA_VALUE_TRUNCATED = 1406,
  ORA_END_OF_CHANNEL = 3113,
  ORA_NOT_CONNECTED = 3114,
  ORA_PLSQL_COMPILE_ERROR = 6550,
  ORA_PASSWORD_WILL_EXPIRE = 28002,
  ORA_PASSWORD_GRACE_LOGIN = 28011
};

/* ---------------------------------------------------------------------------------------------- */
/* Handle and descriptor types                                                                     */

#define OCI_HTYPE_FIRST 1
#define OCI_HTYPE_ENV 1
#define OCI_HTYPE_ERROR 2
#define OCI_HTYPE_SVCCTX 3
#define OCI_HTYPE_STMT 4
#define OCI_HTYPE_BIND 5
#define OCI_HTYPE_DEFINE 6
#define OCI_HTYPE_DESCRIBE 7
#define OCI_HTYPE_SERVER 8
#define OCI_HTYPE_SESSION 9
#define OCI_HTYPE_AUTHINFO OCI_HTYPE_SESSION
#define OCI_HTYPE_TRANS 10
#define OCI_HTYPE_COMPLEXOBJECT 11
#define OCI_HTYPE_SECURITY 12
#define OCI_HTYPE_SUBSCRIPTION 13
#define OCI_HTYPE_DIRPATH_CTX 14
#define OCI_HTYPE_DIRPATH_COLUMN_ARRAY 15
#define OCI_HTYPE_DIRPATH_STREAM 16
#define OCI_HTYPE_PROC 17
#define OCI_HTYPE_SPOOL 27
#define OCI_HTYPE_LAST 27

#define OCI_DTYPE_FIRST 50
#define OCI_DTYPE_LOB 50
#define OCI_DTYPE_SNAP 51
#define OCI_DTYPE_RSET 52
#define OCI_DTYPE_PARAM 53
#define OCI_DTYPE_ROWID 54
#define OCI_DTYPE_COMPLEXOBJECTCOMP 55
#define OCI_DTYPE_FILE 56
#define OCI_DTYPE_INTERVAL_YM 62
#define OCI_DTYPE_INTERVAL_DS 63
#define OCI_DTYPE_DATE 65
#define OCI_DTYPE_TIME 66
#define OCI_DTYPE_TIME_TZ 67
#define OCI_DTYPE_TIMESTAMP 68
#define OCI_DTYPE_TIMESTAMP_TZ 69
#define OCI_DTYPE_TIMESTAMP_LTZ 70
#define OCI_DTYPE_LAST 70

/* ---------------------------------------------------------------------------------------------- */
/* Modes                                                                                           */

#define OCI_DEFAULT 0x00
#define OCI_THREADED 0x01
#define OCI_OBJECT 0x02
#define OCI_EVENTS 0x04
#define OCI_SHARED 0x10
#define OCI_NO_MUTEX 0x80

#define OCI_ENV_NO_UCB 0x01
#define OCI_ENV_NO_MUTEX 0x08

/* OCIStmtPrepare language */
#define OCI_NTV_SYNTAX 1
#define OCI_V7_SYNTAX 2
#define OCI_V8_SYNTAX 3

/* OCIStmtExecute modes */
#define OCI_BATCH_MODE 0x01
#define OCI_EXACT_FETCH 0x02
#define OCI_STMT_SCROLLABLE_READONLY 0x08
#define OCI_DESCRIBE_ONLY 0x10
#define OCI_COMMIT_ON_SUCCESS 0x20
#define OCI_NON_BLOCKING 0x40
#define OCI_BATCH_ERRORS 0x80
#define OCI_PARSE_ONLY 0x100

/* Bind and define modes */
#define OCI_SB2_IND_PTR 0x01
#define OCI_DATA_AT_EXEC 0x02
#define OCI_DYNAMIC_FETCH 0x02
#define OCI_PIECEWISE 0x04

/* Credentials and session modes */
#define OCI_CRED_RDBMS 1
#define OCI_CRED_EXT 2
#define OCI_MIGRATE 0x01
#define OCI_SYSDBA 0x02
#define OCI_SYSOPER 0x04
#define OCI_PRELIM_AUTH 0x08
#define OCI_STMT_CACHE 0x40

/* Fetch orientations */
#define OCI_FETCH_CURRENT 0x01
#define OCI_FETCH_NEXT 0x02
#define OCI_FETCH_FIRST 0x04
#define OCI_FETCH_LAST 0x08
#define OCI_FETCH_PRIOR 0x10
#define OCI_FETCH_ABSOLUTE 0x20
#define OCI_FETCH_RELATIVE 0x40

/* Pieces */
#define OCI_ONE_PIECE 0
#define OCI_FIRST_PIECE 1
#define OCI_NEXT_PIECE 2
#define OCI_LAST_PIECE 3

/* Direction of a piece */
#define OCI_PARAM_IN 0x01
#define OCI_PARAM_OUT 0x02

/* Transactions */
#define OCI_TRANS_NEW 0x00000001
#define OCI_TRANS_READONLY 0x00000100
#define OCI_TRANS_TWOPHASE 0x01000000

/* Statement types (OCI_ATTR_STMT_TYPE) */
#define OCI_STMT_SELECT 1
#define OCI_STMT_UPDATE 2
#define OCI_STMT_DELETE 3
#define OCI_STMT_INSERT 4
#define OCI_STMT_CREATE 5
#define OCI_STMT_DROP 6
#define OCI_STMT_ALTER 7
#define OCI_STMT_BEGIN 8
#define OCI_STMT_DECLARE 9

/* SQL function codes (OCI_ATTR_SQLFNCODE and the cursor data area's ft) */
#define TALVIK_FNCODE_INSERT 3
#define TALVIK_FNCODE_SELECT 4
#define TALVIK_FNCODE_UPDATE 5
#define TALVIK_FNCODE_DELETE 9
#define TALVIK_FNCODE_PLSQL 34

/* Describe */
#define OCI_OTYPE_NAME 1
#define OCI_OTYPE_REF 2
#define OCI_OTYPE_PTR 3
#define OCI_PTYPE_UNK 0
#define OCI_PTYPE_TABLE 1
#define OCI_PTYPE_VIEW 2
#define OCI_PTYPE_PROC 3
#define OCI_PTYPE_FUNC 4
#define OCI_PTYPE_PKG 5
#define OCI_PTYPE_TYPE 6

/* Objects */
#define OCI_DURATION_SESSION 10
#define OCI_DURATION_TRANS 11
#define OCI_PIN_DEFAULT 1
#define OCI_PIN_ANY 3
#define OCI_PIN_RECENT 4
#define OCI_PIN_LATEST 5
#define OCI_LOCK_NONE 1
#define OCI_LOCK_X 2
#define OCI_OBJECTFREE_FORCE 0x0001
#define OCI_OBJECTFREE_NONULL 0x0002
#define OCI_TYPEGET_HEADER 0
#define OCI_TYPEGET_ALL 1
#define OCI_IND_NOTNULL 0
#define OCI_IND_NULL (-1)
#define OCI_NUMBER_UNSIGNED 0
#define OCI_NUMBER_SIGNED 2
#define OCI_NUMBER_SIZE 22
#define OCI_TYPECODE_REF 110
#define OCI_TYPECODE_OBJECT 108
#define OCI_TYPECODE_NAMEDCOLLECTION 122
#define OCI_TYPECODE_OPAQUE 58
#define OCI_TYPECODE_VARRAY 247
#define OCI_TYPECODE_TABLE 248
#define OCI_TYPECODE_VARCHAR 1
#define OCI_TYPECODE_NUMBER 2
#define OCI_TYPECODE_VARCHAR2 9
#define OCI_TYPECODE_DATE 12
#define OCI_TYPECODE_RAW 95
#define OCI_TYPECODE_CHAR 96
#define OCI_TYPECODE_CLOB 112
#define OCI_TYPECODE_BLOB 113
#define OCI_TYPECODE_BFILE 114
#define OCI_TYPECODE_TIMESTAMP 187
#define OCI_TYPECODE_TIMESTAMP_TZ 188
#define OCI_TYPECODE_TIMESTAMP_LTZ 232

/* Instances of named types, as the object calls hand them out and programs read them.
 *
 * An object instance is a plain memory block. Its attributes lie in declared order from offset 0;
 * a NUMBER takes 22 bytes (an OCINumber: length byte, then the number's bytes), a DATE 8 (an
 * OCIDate), an embedded object of a FINAL object type 0 (its own attributes follow inline), and
 * every other attribute one pointer: OCIString* (VARCHAR2, CHAR), OCIRaw* (RAW), OCILobLocator*
 * (CLOB, BLOB, BFILE), OCIRef* (REF), OCIColl* (VARRAY, nested table), OCIDateTime* (timestamps),
 * and the address of a separate instance for an object of a NOT FINAL type or SYS.XMLTYPE. A
 * pointer cell starts at a multiple of sizeof(void*) counted from the start of the object it
 * belongs to (the instance, or the embedded object); when rounding up moves the offset, the
 * embedded objects that started at the old offset start at the new one. NUMBER(5), VARCHAR2(10),
 * DATE lie at 0, 24 and 32; NUMBER, then an embedded object of (NUMBER, VARCHAR2) lie at 0, 22
 * (the embedded NUMBER at 22) and 46 (22 + 24). Cells may so be unaligned in memory: programs
 * read and write them with memcpy.
 *
 * The null structure (OCIObjectGetInd) is an array of OCIInd: [0] the object's own (atomic)
 * indicator, then one per attribute in the same order, an embedded object contributing its atomic
 * indicator followed by its attributes' entries. An attribute held by pointer (collection, NOT
 * FINAL object, XMLType) has one entry here; the instance it points at has a null structure of its
 * own. -1 is null, 0 not null.
 *
 * Collections: OCICollGetElem gives the address of the element's cell, laid out by the same rule
 * for the element type (an OCINumber*, an OCIString** ..., an object element's instance), and the
 * address of its indicator (an object element's null structure). OCICollAppend, OCICollAssignElem
 * and OCIObjectSetAttr take the value itself: the OCIString*, OCIRaw*, OCIRef* ... for a pointer
 * type (the address of a cell holding one is accepted too), the address of the OCINumber, OCIDate
 * or instance otherwise; OCIObjectGetAttr gives the address of the attribute's cell.
 *
 * Describe attributes of a type (OCIDescribeAny with OCI_PTYPE_TYPE, then OCI_ATTR_PARAM of the
 * describe handle) and of its attribute parameters: OCI_ATTR_TYPECODE, OCI_ATTR_COLLECTION_TYPECODE,
 * OCI_ATTR_DATA_TYPE, OCI_ATTR_DATA_SIZE and OCI_ATTR_NUM_TYPE_ATTRS are ub2, OCI_ATTR_PRECISION ub1
 * (sb2 for a select-list item), OCI_ATTR_SCALE sb1, OCI_ATTR_IS_FINAL_TYPE ub1, OCI_ATTR_REF_TDO an OCIRef*,
 * OCI_ATTR_PARAM, OCI_ATTR_LIST_TYPE_ATTRS and OCI_ATTR_COLLECTION_ELEMENT an OCIParam*, names text* with
 * their length in the size argument. */

/* LOBs */
#define OCI_LOB_READONLY 1
#define OCI_LOB_READWRITE 2
#define OCI_FILE_READONLY 1
#define OCI_TEMP_BLOB 1
#define OCI_TEMP_CLOB 2

/* Session pools */
#define OCI_SPC_REINITIALIZE 0x0001
#define OCI_SPC_HOMOGENEOUS 0x0002
#define OCI_SPC_STMTCACHE 0x0004
#define OCI_SPD_FORCE 0x0001
#define OCI_SESSGET_SPOOL 0x0001
#define OCI_SESSGET_STMTCACHE 0x0004
#define OCI_SESSRLS_DROP 0x0001
#define OCI_STRLS_CACHE_DELETE 0x0010

/* ---------------------------------------------------------------------------------------------- */
/* Attributes                                                                                      */

#define OCI_ATTR_FNCODE 1
#define OCI_ATTR_OBJECT 2
#define OCI_ATTR_NONBLOCKING_MODE 3
#define OCI_ATTR_SQLCODE 4
#define OCI_ATTR_ENV 5
#define OCI_ATTR_SERVER 6
#define OCI_ATTR_SESSION 7
#define OCI_ATTR_TRANS 8
#define OCI_ATTR_ROW_COUNT 9
#define OCI_ATTR_SQLFNCODE 10
#define OCI_ATTR_PREFETCH_ROWS 11
#define OCI_ATTR_NESTED_PREFETCH_ROWS 12
#define OCI_ATTR_PREFETCH_MEMORY 13
#define OCI_ATTR_NESTED_PREFETCH_MEMORY 14
#define OCI_ATTR_CHAR_COUNT 15
#define OCI_ATTR_PDSCL 16
#define OCI_ATTR_FSPRECISION OCI_ATTR_PDSCL
#define OCI_ATTR_PDPRC 17
#define OCI_ATTR_LFPRECISION OCI_ATTR_PDPRC
#define OCI_ATTR_PARAM_COUNT 18
#define OCI_ATTR_ROWID 19
#define OCI_ATTR_CHARSET 20
#define OCI_ATTR_NCHAR 21
#define OCI_ATTR_USERNAME 22
#define OCI_ATTR_PASSWORD 23
#define OCI_ATTR_STMT_TYPE 24
#define OCI_ATTR_INTERNAL_NAME 25
#define OCI_ATTR_EXTERNAL_NAME 26
#define OCI_ATTR_XID 27
#define OCI_ATTR_TRANS_LOCK 28
#define OCI_ATTR_TRANS_NAME 29
#define OCI_ATTR_HEAPALLOC 30
#define OCI_ATTR_CHARSET_ID 31
#define OCI_ATTR_CHARSET_FORM 32
#define OCI_ATTR_MAXDATA_SIZE 33
#define OCI_ATTR_ROWS_RETURNED 42
#define OCI_ATTR_IN_V8_MODE 44
#define OCI_ATTR_DML_ROW_OFFSET 74
#define OCI_ATTR_PARSE_ERROR_OFFSET 129
#define OCI_ATTR_SERVER_STATUS 143
#define OCI_ATTR_CURRENT_POSITION 164
#define OCI_ATTR_STMTCACHESIZE 176
#define OCI_ATTR_ROWS_FETCHED 197
#define OCI_ATTR_SPOOL_TIMEOUT 173
#define OCI_ATTR_SPOOL_GETMODE 174
#define OCI_ATTR_SPOOL_BUSY_COUNT 175
#define OCI_ATTR_SPOOL_OPEN_COUNT 177
#define OCI_ATTR_SPOOL_MIN 178
#define OCI_ATTR_SPOOL_MAX 179
#define OCI_ATTR_SPOOL_INCR 180
/* The parse error offset as clients without the 8.1 calls ask for it. */
#define TALVIK_ATTR_PARSE_ERROR_OFFSET_V80 128

/* Describe attributes of a parameter (OCI_DTYPE_PARAM) */
#define OCI_ATTR_DATA_SIZE 1
#define OCI_ATTR_DATA_TYPE 2
#define OCI_ATTR_DISP_SIZE 3
#define OCI_ATTR_NAME 4
#define OCI_ATTR_PRECISION 5
#define OCI_ATTR_SCALE 6
#define OCI_ATTR_IS_NULL 7
#define OCI_ATTR_TYPE_NAME 8
#define OCI_ATTR_SCHEMA_NAME 9
#define OCI_ATTR_SUB_NAME 10
#define OCI_ATTR_POSITION 11
#define OCI_ATTR_REF_TDO 110
#define OCI_ATTR_NUM_PARAMS 121
#define OCI_ATTR_PARAM 124
#define OCI_ATTR_TYPECODE 216
#define OCI_ATTR_COLLECTION_TYPECODE 217
#define OCI_ATTR_COLLECTION_ELEMENT 227
#define OCI_ATTR_NUM_TYPE_ATTRS 228
#define OCI_ATTR_LIST_TYPE_ATTRS 229
#define OCI_ATTR_NUM_ELEMS 234
#define OCI_ATTR_IS_FINAL_TYPE 279
#define OCI_ATTR_CHAR_USED 285
#define OCI_ATTR_CHAR_SIZE 286

/* ---------------------------------------------------------------------------------------------- */
/* External data types                                                                             */

#define SQLT_CHR 1
#define SQLT_NUM 2
#define SQLT_INT 3
#define SQLT_FLT 4
#define SQLT_STR 5
#define SQLT_VNU 6
#define SQLT_PDN 7
#define SQLT_LNG 8
#define SQLT_VCS 9
#define SQLT_NON 10
#define SQLT_RID 11
#define SQLT_DAT 12
#define SQLT_VBI 15
#define SQLT_BFLOAT 21
#define SQLT_BDOUBLE 22
#define SQLT_BIN 23
#define SQLT_LBI 24
#define SQLT_UIN 68
#define SQLT_SLS 91
#define SQLT_LVC 94
#define SQLT_LVB 95
#define SQLT_AFC 96
#define SQLT_AVC 97
#define SQLT_CUR 102
#define SQLT_RDD 104
#define SQLT_LAB 105
#define SQLT_OSL 106
#define SQLT_NTY 108
#define SQLT_REF 110
#define SQLT_CLOB 112
#define SQLT_BLOB 113
#define SQLT_BFILEE 114
#define SQLT_CFILEE 115
#define SQLT_RSET 116
#define SQLT_NCO 122
#define SQLT_VST 155
#define SQLT_ODT 156
#define SQLT_DATE 184
#define SQLT_TIME 185
#define SQLT_TIME_TZ 186
#define SQLT_TIMESTAMP 187
#define SQLT_TIMESTAMP_TZ 188
#define SQLT_INTERVAL_YM 189
#define SQLT_INTERVAL_DS 190
#define SQLT_TIMESTAMP_LTZ 232
#define SQLT_PNTY 241
#define SQLT_BOL 252
#define SQLT_FILE SQLT_BFILEE
#define SQLT_BFILE SQLT_BFILEE
#define SQLT_CFILE SQLT_CFILEE

/* ---------------------------------------------------------------------------------------------- */
/* Callbacks                                                                                       */

typedef dvoid* (*OCIMallocFn)(dvoid* ctxp, size_t size);
typedef dvoid* (*OCIReallocFn)(dvoid* ctxp, dvoid* memptr, size_t newsize);
typedef void (*OCIFreeFn)(dvoid* ctxp, dvoid* memptr);
typedef sb4 (*OCICallbackInBind)(dvoid* ictxp, OCIBind* bindp, ub4 iter, ub4 index, dvoid** bufpp, ub4* alenp,
                                 ub1* piecep, dvoid** indp);
typedef sb4 (*OCICallbackOutBind)(dvoid* octxp, OCIBind* bindp, ub4 iter, ub4 index, dvoid** bufpp,
                                  ub4** alenp, ub1* piecep, dvoid** indp, ub2** rcodep);
typedef sb4 (*OCICallbackDefine)(dvoid* octxp, OCIDefine* defnp, ub4 iter, dvoid** bufpp, ub4** alenp,
                                 ub1* piecep, dvoid** indp, ub2** rcodep);
typedef sb4 (*OCICallbackLobRead)(dvoid* ctxp, const dvoid* bufp, ub4 len, ub1 piece);
typedef sb4 (*OCICallbackLobWrite)(dvoid* ctxp, dvoid* bufp, ub4* lenp, ub1* piece);
typedef OCIRef* (*OCICacheFlushGetFn)(dvoid* context, ub1* last);

/* ---------------------------------------------------------------------------------------------- */
/* The entry points                                                                                */
/*
 * X(group, name, kind, return type, (parameters), (arguments))
 *   group: the binding group the name belongs to, in binding order:
 *     HOST (host calls), OLOG, OPINIT, OCI (handle API), ERRTEXT (error-text calls), OCI81, OCI90,
 *     OCI92; EXTRA names are exported by the library but not bound by the access unit.
 *   kind: IMPL when the library implements the call, UNIMPL when it answers ORA-03001.
 */
#define TALVIK_OCI_ENTRY_POINTS(X)                                                                           \
  /* host calls */                                                                                           \
  X(HOST, orlon, IMPL, sword,                                                                                \
    (Lda_Def * lda, ub1 * hda, text * uid, sword uidl, text * pswd, sword pswdl, sword audit),               \
    (lda, hda, uid, uidl, pswd, pswdl, audit))                                                               \
  X(HOST, ologof, IMPL, sword, (Lda_Def * lda), (lda))                                                       \
  X(HOST, oerhms, IMPL, sword, (Lda_Def * lda, sb2 rcode, text * buf, sword bufsiz),                         \
    (lda, rcode, buf, bufsiz))                                                                               \
  X(HOST, oopen, IMPL, sword,                                                                                \
    (Cda_Def * cursor, Lda_Def * lda, text * dbn, sword dbnl, sword arsize, text * uid, sword uidl),         \
    (cursor, lda, dbn, dbnl, arsize, uid, uidl))                                                             \
  X(HOST, oparse, IMPL, sword, (Cda_Def * cursor, text * sqlstm, sb4 sqllen, sword defflg, ub4 lngflg),      \
    (cursor, sqlstm, sqllen, defflg, lngflg))                                                                \
  X(HOST, odefin, IMPL, sword,                                                                               \
    (Cda_Def * cursor, sword pos, ub1 * buf, sword bufl, sword ftype, sword scale, sb2 * indp, text * fmt,   \
     sword fmtl, sword fmtt, ub2 * rlen, ub2 * rcode),                                                       \
    (cursor, pos, buf, bufl, ftype, scale, indp, fmt, fmtl, fmtt, rlen, rcode))                              \
  X(HOST, oexfet, IMPL, sword, (Cda_Def * cursor, ub4 nrows, sword cancel, sword exact),                     \
    (cursor, nrows, cancel, exact))                                                                          \
  X(HOST, ofen, IMPL, sword, (Cda_Def * cursor, sword nrows), (cursor, nrows))                               \
  X(HOST, oflng, IMPL, sword,                                                                                \
    (Cda_Def * cursor, sword pos, ub1 * buf, sb4 bufl, sword dtype, ub4 * retl, sb4 offset),                 \
    (cursor, pos, buf, bufl, dtype, retl, offset))                                                           \
  X(HOST, oclose, IMPL, sword, (Cda_Def * cursor), (cursor))                                                 \
  X(HOST, odescr, IMPL, sword,                                                                               \
    (Cda_Def * cursor, sword pos, sb4 * dbsize, sb2 * dbtype, sb1 * cbuf, sb4 * cbufl, sb4 * dsize,          \
     sb2 * prec, sb2 * scale, sb2 * nullok),                                                                 \
    (cursor, pos, dbsize, dbtype, cbuf, cbufl, dsize, prec, scale, nullok))                                  \
  X(HOST, oexec, IMPL, sword, (Cda_Def * cursor), (cursor))                                                  \
  X(HOST, oexn, IMPL, sword, (Cda_Def * cursor, sword iters, sword rowoff), (cursor, iters, rowoff))         \
  X(HOST, ocom, IMPL, sword, (Lda_Def * lda), (lda))                                                         \
  X(HOST, orol, IMPL, sword, (Lda_Def * lda), (lda))                                                         \
  X(HOST, ocon, IMPL, sword, (Lda_Def * lda), (lda))                                                         \
  X(HOST, ocof, IMPL, sword, (Lda_Def * lda), (lda))                                                         \
  X(HOST, obreak, IMPL, sword, (Lda_Def * lda), (lda))                                                       \
  X(HOST, obndra, IMPL, sword,                                                                               \
    (Cda_Def * cursor, text * sqlvar, sword sqlvl, ub1 * progv, sword progvl, sword ftype, sword scale,      \
     sb2 * indp, ub2 * alen, ub2 * arcode, ub4 maxsiz, ub4 * cursiz, text * fmt, sword fmtl, sword fmtt),    \
    (cursor, sqlvar, sqlvl, progv, progvl, ftype, scale, indp, alen, arcode, maxsiz, cursiz, fmt, fmtl,      \
     fmtt))                                                                                                  \
  X(HOST, odessp, UNIMPL, sword,                                                                             \
    (Lda_Def * lda, text * objnam, size_t onlen, ub1 * rsv1, size_t rsv1ln, ub1 * rsv2, size_t rsv2ln,       \
     ub2 * ovrld, ub2 * pos, ub2 * level, text * *argnam, ub2 * arnlen, ub2 * dtype, ub1 * defsup,           \
     ub1 * mode, ub4 * dtsiz, sb2 * prec, sb2 * scale, ub1 * radix, ub4 * spare, ub4 * arrsiz),              \
    (lda, objnam, onlen, rsv1, rsv1ln, rsv2, rsv2ln, ovrld, pos, level, argnam, arnlen, dtype, defsup, mode, \
     dtsiz, prec, scale, radix, spare, arrsiz))                                                              \
  X(OLOG, olog, IMPL, sword,                                                                                 \
    (Lda_Def * lda, ub1 * hda, text * uid, sword uidl, text * pswd, sword pswdl, text * conn, sword connl,   \
     ub4 mode),                                                                                              \
    (lda, hda, uid, uidl, pswd, pswdl, conn, connl, mode))                                                   \
  X(OPINIT, opinit, IMPL, sword, (ub4 mode), (mode))                                                         \
  /* handle API */                                                                                           \
  X(OCI, OCIInitialize, IMPL, sword,                                                                         \
    (ub4 mode, dvoid * ctxp, OCIMallocFn malocfp, OCIReallocFn ralocfp, OCIFreeFn mfreefp),                  \
    (mode, ctxp, malocfp, ralocfp, mfreefp))                                                                 \
  X(OCI, OCIHandleAlloc, IMPL, sword,                                                                        \
    (const dvoid* parenth, dvoid** hndlpp, ub4 type, size_t xtramem_sz, dvoid** usrmempp),                   \
    (parenth, hndlpp, type, xtramem_sz, usrmempp))                                                           \
  X(OCI, OCIHandleFree, IMPL, sword, (dvoid * hndlp, ub4 type), (hndlp, type))                               \
  X(OCI, OCIDescriptorAlloc, IMPL, sword,                                                                    \
    (const dvoid* parenth, dvoid** descpp, ub4 type, size_t xtramem_sz, dvoid** usrmempp),                   \
    (parenth, descpp, type, xtramem_sz, usrmempp))                                                           \
  X(OCI, OCIDescriptorFree, IMPL, sword, (dvoid * descp, ub4 type), (descp, type))                           \
  X(OCI, OCIEnvInit, IMPL, sword, (OCIEnv * *envp, ub4 mode, size_t xtramem_sz, dvoid * *usrmempp),          \
    (envp, mode, xtramem_sz, usrmempp))                                                                      \
  X(OCI, OCIServerAttach, IMPL, sword,                                                                       \
    (OCIServer * srvhp, OCIError * errhp, const text* dblink, sb4 dblink_len, ub4 mode),                     \
    (srvhp, errhp, dblink, dblink_len, mode))                                                                \
  X(OCI, OCIServerDetach, IMPL, sword, (OCIServer * srvhp, OCIError * errhp, ub4 mode),                      \
    (srvhp, errhp, mode))                                                                                    \
  X(OCI, OCISessionBegin, IMPL, sword,                                                                       \
    (OCISvcCtx * svchp, OCIError * errhp, OCISession * usrhp, ub4 credt, ub4 mode),                          \
    (svchp, errhp, usrhp, credt, mode))                                                                      \
  X(OCI, OCISessionEnd, IMPL, sword, (OCISvcCtx * svchp, OCIError * errhp, OCISession * usrhp, ub4 mode),    \
    (svchp, errhp, usrhp, mode))                                                                             \
  X(OCI, OCILogon, IMPL, sword,                                                                              \
    (OCIEnv * envhp, OCIError * errhp, OCISvcCtx * *svchp, const text* username, ub4 uname_len,              \
     const text* password, ub4 passwd_len, const text* dbname, ub4 dbname_len),                              \
    (envhp, errhp, svchp, username, uname_len, password, passwd_len, dbname, dbname_len))                    \
  X(OCI, OCILogoff, IMPL, sword, (OCISvcCtx * svchp, OCIError * errhp), (svchp, errhp))                      \
  X(OCI, OCIPasswordChange, IMPL, sword,                                                                     \
    (OCISvcCtx * svchp, OCIError * errhp, const text* user_name, ub4 usernm_len, const text* opasswd,        \
     ub4 opasswd_len, const text* npasswd, ub4 npasswd_len, ub4 mode),                                       \
    (svchp, errhp, user_name, usernm_len, opasswd, opasswd_len, npasswd, npasswd_len, mode))                 \
  X(OCI, OCIStmtPrepare, IMPL, sword,                                                                        \
    (OCIStmt * stmtp, OCIError * errhp, const text* stmt, ub4 stmt_len, ub4 language, ub4 mode),             \
    (stmtp, errhp, stmt, stmt_len, language, mode))                                                          \
  X(OCI, OCIBindByPos, IMPL, sword,                                                                          \
    (OCIStmt * stmtp, OCIBind * *bindp, OCIError * errhp, ub4 position, dvoid * valuep, sb4 value_sz,        \
     ub2 dty, dvoid * indp, ub2 * alenp, ub2 * rcodep, ub4 maxarr_len, ub4 * curelep, ub4 mode),             \
    (stmtp, bindp, errhp, position, valuep, value_sz, dty, indp, alenp, rcodep, maxarr_len, curelep, mode))  \
  X(OCI, OCIBindByName, IMPL, sword,                                                                         \
    (OCIStmt * stmtp, OCIBind * *bindp, OCIError * errhp, const text* placeholder, sb4 placeh_len,           \
     dvoid* valuep, sb4 value_sz, ub2 dty, dvoid* indp, ub2* alenp, ub2* rcodep, ub4 maxarr_len,             \
     ub4* curelep, ub4 mode),                                                                                \
    (stmtp, bindp, errhp, placeholder, placeh_len, valuep, value_sz, dty, indp, alenp, rcodep, maxarr_len,   \
     curelep, mode))                                                                                         \
  X(OCI, OCIBindObject, IMPL, sword,                                                                         \
    (OCIBind * bindp, OCIError * errhp, const OCIType* type, dvoid** pgvpp, ub4* pvszsp, dvoid** indpp,      \
     ub4* indszp),                                                                                           \
    (bindp, errhp, type, pgvpp, pvszsp, indpp, indszp))                                                      \
  X(OCI, OCIBindDynamic, IMPL, sword,                                                                        \
    (OCIBind * bindp, OCIError * errhp, dvoid * ictxp, OCICallbackInBind icbfp, dvoid * octxp,               \
     OCICallbackOutBind ocbfp),                                                                              \
    (bindp, errhp, ictxp, icbfp, octxp, ocbfp))                                                              \
  X(OCI, OCIBindArrayOfStruct, IMPL, sword,                                                                  \
    (OCIBind * bindp, OCIError * errhp, ub4 pvskip, ub4 indskip, ub4 alskip, ub4 rcskip),                    \
    (bindp, errhp, pvskip, indskip, alskip, rcskip))                                                         \
  X(OCI, OCIStmtGetPieceInfo, IMPL, sword,                                                                   \
    (OCIStmt * stmtp, OCIError * errhp, dvoid * *hndlpp, ub4 * typep, ub1 * in_outp, ub4 * iterp,            \
     ub4 * idxp, ub1 * piecep),                                                                              \
    (stmtp, errhp, hndlpp, typep, in_outp, iterp, idxp, piecep))                                             \
  X(OCI, OCIStmtSetPieceInfo, IMPL, sword,                                                                   \
    (dvoid * hndlp, ub4 type, OCIError * errhp, const dvoid* bufp, ub4* alenp, ub1 piece, const dvoid* indp, \
     ub2* rcodep),                                                                                           \
    (hndlp, type, errhp, bufp, alenp, piece, indp, rcodep))                                                  \
  X(OCI, OCIStmtExecute, IMPL, sword,                                                                        \
    (OCISvcCtx * svchp, OCIStmt * stmtp, OCIError * errhp, ub4 iters, ub4 rowoff,                            \
     const OCISnapshot* snap_in, OCISnapshot* snap_out, ub4 mode),                                           \
    (svchp, stmtp, errhp, iters, rowoff, snap_in, snap_out, mode))                                           \
  X(OCI, OCIDefineByPos, IMPL, sword,                                                                        \
    (OCIStmt * stmtp, OCIDefine * *defnp, OCIError * errhp, ub4 position, dvoid * valuep, sb4 value_sz,      \
     ub2 dty, dvoid * indp, ub2 * rlenp, ub2 * rcodep, ub4 mode),                                            \
    (stmtp, defnp, errhp, position, valuep, value_sz, dty, indp, rlenp, rcodep, mode))                       \
  X(OCI, OCIDefineObject, IMPL, sword,                                                                       \
    (OCIDefine * defnp, OCIError * errhp, const OCIType* type, dvoid** pgvpp, ub4* pvszsp, dvoid** indpp,    \
     ub4* indszp),                                                                                           \
    (defnp, errhp, type, pgvpp, pvszsp, indpp, indszp))                                                      \
  X(OCI, OCIDefineDynamic, IMPL, sword,                                                                      \
    (OCIDefine * defnp, OCIError * errhp, dvoid * octxp, OCICallbackDefine ocbfp),                           \
    (defnp, errhp, octxp, ocbfp))                                                                            \
  X(OCI, OCIDefineArrayOfStruct, IMPL, sword,                                                                \
    (OCIDefine * defnp, OCIError * errhp, ub4 pvskip, ub4 indskip, ub4 rlskip, ub4 rcskip),                  \
    (defnp, errhp, pvskip, indskip, rlskip, rcskip))                                                         \
  X(OCI, OCIStmtFetch, IMPL, sword,                                                                          \
    (OCIStmt * stmtp, OCIError * errhp, ub4 nrows, ub2 orientation, ub4 mode),                               \
    (stmtp, errhp, nrows, orientation, mode))                                                                \
  X(OCI, OCIStmtGetBindInfo, UNIMPL, sword,                                                                  \
    (OCIStmt * stmtp, OCIError * errhp, ub4 size, ub4 startloc, sb4 * found, text * *bvnp, ub1 * bvnl,       \
     text * *invp, ub1 * inpl, ub1 * dupl, OCIBind * *hndl),                                                 \
    (stmtp, errhp, size, startloc, found, bvnp, bvnl, invp, inpl, dupl, hndl))                               \
  X(OCI, OCIDescribeAny, IMPL, sword,                                                                        \
    (OCISvcCtx * svchp, OCIError * errhp, dvoid * objptr, ub4 objnm_len, ub1 objptr_typ, ub1 info_level,     \
     ub1 objtyp, OCIDescribe * dschp),                                                                       \
    (svchp, errhp, objptr, objnm_len, objptr_typ, info_level, objtyp, dschp))                                \
  X(OCI, OCIParamGet, IMPL, sword,                                                                           \
    (const dvoid* hndlp, ub4 htype, OCIError* errhp, dvoid** parmdpp, ub4 pos),                              \
    (hndlp, htype, errhp, parmdpp, pos))                                                                     \
  X(OCI, OCIParamSet, UNIMPL, sword,                                                                         \
    (dvoid * hdlp, ub4 htyp, OCIError * errhp, const dvoid* dscp, ub4 dtyp, ub4 pos),                        \
    (hdlp, htyp, errhp, dscp, dtyp, pos))                                                                    \
  X(OCI, OCITransStart, UNIMPL, sword, (OCISvcCtx * svchp, OCIError * errhp, uword timeout, ub4 flags),      \
    (svchp, errhp, timeout, flags))                                                                          \
  X(OCI, OCITransDetach, UNIMPL, sword, (OCISvcCtx * svchp, OCIError * errhp, ub4 flags),                    \
    (svchp, errhp, flags))                                                                                   \
  X(OCI, OCITransCommit, IMPL, sword, (OCISvcCtx * svchp, OCIError * errhp, ub4 flags),                      \
    (svchp, errhp, flags))                                                                                   \
  X(OCI, OCITransRollback, IMPL, sword, (OCISvcCtx * svchp, OCIError * errhp, ub4 flags),                    \
    (svchp, errhp, flags))                                                                                   \
  X(OCI, OCITransPrepare, UNIMPL, sword, (OCISvcCtx * svchp, OCIError * errhp, ub4 flags),                   \
    (svchp, errhp, flags))                                                                                   \
  X(OCI, OCITransForget, UNIMPL, sword, (OCISvcCtx * svchp, OCIError * errhp, ub4 flags),                    \
    (svchp, errhp, flags))                                                                                   \
  X(OCI, OCIErrorGet, IMPL, sword,                                                                           \
    (dvoid * hndlp, ub4 recordno, text * sqlstate, sb4 * errcodep, text * bufp, ub4 bufsiz, ub4 type),       \
    (hndlp, recordno, sqlstate, errcodep, bufp, bufsiz, type))                                               \
  X(OCI, OCILobAppend, IMPL, sword,                                                                          \
    (OCISvcCtx * svchp, OCIError * errhp, OCILobLocator * dst_locp, OCILobLocator * src_locp),               \
    (svchp, errhp, dst_locp, src_locp))                                                                      \
  X(OCI, OCILobAssign, IMPL, sword,                                                                          \
    (OCIEnv * envhp, OCIError * errhp, const OCILobLocator* src_locp, OCILobLocator** dst_locpp),            \
    (envhp, errhp, src_locp, dst_locpp))                                                                     \
  X(OCI, OCILobCharSetForm, IMPL, sword,                                                                     \
    (OCIEnv * envhp, OCIError * errhp, const OCILobLocator* locp, ub1* csfrm), (envhp, errhp, locp, csfrm))  \
  X(OCI, OCILobCharSetId, IMPL, sword,                                                                       \
    (OCIEnv * envhp, OCIError * errhp, const OCILobLocator* locp, ub2* csid), (envhp, errhp, locp, csid))    \
  X(OCI, OCILobCopy, IMPL, sword,                                                                            \
    (OCISvcCtx * svchp, OCIError * errhp, OCILobLocator * dst_locp, OCILobLocator * src_locp, ub4 amount,    \
     ub4 dst_offset, ub4 src_offset),                                                                        \
    (svchp, errhp, dst_locp, src_locp, amount, dst_offset, src_offset))                                      \
  X(OCI, OCILobDisableBuffering, IMPL, sword, (OCISvcCtx * svchp, OCIError * errhp, OCILobLocator * locp),   \
    (svchp, errhp, locp))                                                                                    \
  X(OCI, OCILobEnableBuffering, IMPL, sword, (OCISvcCtx * svchp, OCIError * errhp, OCILobLocator * locp),    \
    (svchp, errhp, locp))                                                                                    \
  X(OCI, OCILobErase, IMPL, sword,                                                                           \
    (OCISvcCtx * svchp, OCIError * errhp, OCILobLocator * locp, ub4 * amount, ub4 offset),                   \
    (svchp, errhp, locp, amount, offset))                                                                    \
  X(OCI, OCILobFileClose, IMPL, sword, (OCISvcCtx * svchp, OCIError * errhp, OCILobLocator * filep),         \
    (svchp, errhp, filep))                                                                                   \
  X(OCI, OCILobFileCloseAll, IMPL, sword, (OCISvcCtx * svchp, OCIError * errhp), (svchp, errhp))             \
  X(OCI, OCILobFileExists, IMPL, sword,                                                                      \
    (OCISvcCtx * svchp, OCIError * errhp, OCILobLocator * filep, boolean * flag),                            \
    (svchp, errhp, filep, flag))                                                                             \
  X(OCI, OCILobFileGetName, IMPL, sword,                                                                     \
    (OCIEnv * envhp, OCIError * errhp, const OCILobLocator* filep, text* dir_alias, ub2* d_length,           \
     text* filename, ub2* f_length),                                                                         \
    (envhp, errhp, filep, dir_alias, d_length, filename, f_length))                                          \
  X(OCI, OCILobFileIsOpen, IMPL, sword,                                                                      \
    (OCISvcCtx * svchp, OCIError * errhp, OCILobLocator * filep, boolean * flag),                            \
    (svchp, errhp, filep, flag))                                                                             \
  X(OCI, OCILobFileOpen, IMPL, sword,                                                                        \
    (OCISvcCtx * svchp, OCIError * errhp, OCILobLocator * filep, ub1 mode), (svchp, errhp, filep, mode))     \
  X(OCI, OCILobFileSetName, IMPL, sword,                                                                     \
    (OCIEnv * envhp, OCIError * errhp, OCILobLocator * *filepp, const text* dir_alias, ub2 d_length,         \
     const text* filename, ub2 f_length),                                                                    \
    (envhp, errhp, filepp, dir_alias, d_length, filename, f_length))                                         \
  X(OCI, OCILobFlushBuffer, IMPL, sword,                                                                     \
    (OCISvcCtx * svchp, OCIError * errhp, OCILobLocator * locp, ub4 flag), (svchp, errhp, locp, flag))       \
  X(OCI, OCILobGetLength, IMPL, sword,                                                                       \
    (OCISvcCtx * svchp, OCIError * errhp, OCILobLocator * locp, ub4 * lenp), (svchp, errhp, locp, lenp))     \
  X(OCI, OCILobIsEqual, IMPL, sword,                                                                         \
    (OCIEnv * envhp, const OCILobLocator* x, const OCILobLocator* y, boolean* is_equal),                     \
    (envhp, x, y, is_equal))                                                                                 \
  X(OCI, OCILobLoadFromFile, IMPL, sword,                                                                    \
    (OCISvcCtx * svchp, OCIError * errhp, OCILobLocator * dst_locp, OCILobLocator * src_filep, ub4 amount,   \
     ub4 dst_offset, ub4 src_offset),                                                                        \
    (svchp, errhp, dst_locp, src_filep, amount, dst_offset, src_offset))                                     \
  X(OCI, OCILobLocatorIsInit, IMPL, sword,                                                                   \
    (OCIEnv * envhp, OCIError * errhp, const OCILobLocator* locp, boolean* is_initialized),                  \
    (envhp, errhp, locp, is_initialized))                                                                    \
  X(OCI, OCILobRead, IMPL, sword,                                                                            \
    (OCISvcCtx * svchp, OCIError * errhp, OCILobLocator * locp, ub4 * amtp, ub4 offset, dvoid * bufp,        \
     ub4 bufl, dvoid * ctxp, OCICallbackLobRead cbfp, ub2 csid, ub1 csfrm),                                  \
    (svchp, errhp, locp, amtp, offset, bufp, bufl, ctxp, cbfp, csid, csfrm))                                 \
  X(OCI, OCILobTrim, IMPL, sword, (OCISvcCtx * svchp, OCIError * errhp, OCILobLocator * locp, ub4 newlen),   \
    (svchp, errhp, locp, newlen))                                                                            \
  X(OCI, OCILobWrite, IMPL, sword,                                                                           \
    (OCISvcCtx * svchp, OCIError * errhp, OCILobLocator * locp, ub4 * amtp, ub4 offset, dvoid * bufp,        \
     ub4 buflen, ub1 piece, dvoid * ctxp, OCICallbackLobWrite cbfp, ub2 csid, ub1 csfrm),                    \
    (svchp, errhp, locp, amtp, offset, bufp, buflen, piece, ctxp, cbfp, csid, csfrm))                        \
  X(OCI, OCIBreak, IMPL, sword, (dvoid * hndlp, OCIError * errhp), (hndlp, errhp))                           \
  X(OCI, OCIServerVersion, IMPL, sword,                                                                      \
    (dvoid * hndlp, OCIError * errhp, text * bufp, ub4 bufsz, ub1 hndltype),                                 \
    (hndlp, errhp, bufp, bufsz, hndltype))                                                                   \
  X(OCI, OCIAttrGet, IMPL, sword,                                                                            \
    (const dvoid* trgthndlp, ub4 trghndltyp, dvoid* attributep, ub4* sizep, ub4 attrtype, OCIError* errhp),  \
    (trgthndlp, trghndltyp, attributep, sizep, attrtype, errhp))                                             \
  X(OCI, OCIAttrSet, IMPL, sword,                                                                            \
    (dvoid * trgthndlp, ub4 trghndltyp, dvoid * attributep, ub4 size, ub4 attrtype, OCIError * errhp),       \
    (trgthndlp, trghndltyp, attributep, size, attrtype, errhp))                                              \
  X(OCI, OCISvcCtxToLda, IMPL, sword, (OCISvcCtx * svchp, OCIError * errhp, Lda_Def * ldap),                 \
    (svchp, errhp, ldap))                                                                                    \
  X(OCI, OCILdaToSvcCtx, IMPL, sword, (OCISvcCtx * *svchpp, OCIError * errhp, Lda_Def * ldap),               \
    (svchpp, errhp, ldap))                                                                                   \
  X(OCI, OCIResultSetToStmt, UNIMPL, sword, (OCIResult * rsetdp, OCIError * errhp), (rsetdp, errhp))         \
  X(OCI, OCIObjectUnpin, IMPL, sword, (OCIEnv * env, OCIError * err, dvoid * object), (env, err, object))    \
  X(OCI, OCIObjectLock, IMPL, sword, (OCIEnv * env, OCIError * err, dvoid * object), (env, err, object))     \
  X(OCI, OCIObjectMarkUpdate, IMPL, sword, (OCIEnv * env, OCIError * err, dvoid * object),                   \
    (env, err, object))                                                                                      \
  X(OCI, OCIObjectUnmark, IMPL, sword, (OCIEnv * env, OCIError * err, dvoid * object), (env, err, object))   \
  X(OCI, OCIObjectMarkDelete, IMPL, sword, (OCIEnv * env, OCIError * err, dvoid * instance),                 \
    (env, err, instance))                                                                                    \
  X(OCI, OCIObjectFlush, IMPL, sword, (OCIEnv * env, OCIError * err, dvoid * object), (env, err, object))    \
  X(OCI, OCIObjectCopy, IMPL, sword,                                                                         \
    (OCIEnv * env, OCIError * err, const OCISvcCtx* svc, dvoid* source, dvoid* null_source, dvoid* target,   \
     dvoid* null_target, OCIType* tdo, OCIDuration duration, ub1 option),                                    \
    (env, err, svc, source, null_source, target, null_target, tdo, duration, option))                        \
  X(OCI, OCIObjectGetTypeRef, IMPL, sword,                                                                   \
    (OCIEnv * env, OCIError * err, dvoid * instance, OCIRef * type_ref), (env, err, instance, type_ref))     \
  X(OCI, OCIObjectGetObjectRef, IMPL, sword,                                                                 \
    (OCIEnv * env, OCIError * err, dvoid * object, OCIRef * object_ref), (env, err, object, object_ref))     \
  X(OCI, OCIObjectGetInd, IMPL, sword,                                                                       \
    (OCIEnv * env, OCIError * err, dvoid * instance, dvoid * *null_struct),                                  \
    (env, err, instance, null_struct))                                                                       \
  X(OCI, OCIObjectExists, IMPL, sword, (OCIEnv * env, OCIError * err, dvoid * ins, boolean * exist),         \
    (env, err, ins, exist))                                                                                  \
  X(OCI, OCIObjectIsLocked, IMPL, sword, (OCIEnv * env, OCIError * err, dvoid * ins, boolean * lock),        \
    (env, err, ins, lock))                                                                                   \
  X(OCI, OCIObjectIsDirty, IMPL, sword, (OCIEnv * env, OCIError * err, dvoid * ins, boolean * dirty),        \
    (env, err, ins, dirty))                                                                                  \
  X(OCI, OCIObjectRefresh, IMPL, sword, (OCIEnv * env, OCIError * err, dvoid * object), (env, err, object))  \
  X(OCI, OCIObjectPinTable, IMPL, sword,                                                                     \
    (OCIEnv * env, OCIError * err, const OCISvcCtx* svc, const text* schema_name, ub4 s_n_length,            \
     const text* object_name, ub4 o_n_length, const OCIRef* scope_obj_ref, OCIDuration pin_duration,         \
     dvoid** object),                                                                                        \
    (env, err, svc, schema_name, s_n_length, object_name, o_n_length, scope_obj_ref, pin_duration, object))  \
  X(OCI, OCIObjectNew, IMPL, sword,                                                                          \
    (OCIEnv * env, OCIError * err, const OCISvcCtx* svc, OCITypeCode typecode, OCIType* tdo, dvoid* table,   \
     OCIDuration duration, boolean value, dvoid** instance),                                                 \
    (env, err, svc, typecode, tdo, table, duration, value, instance))                                        \
  X(OCI, OCIObjectPin, IMPL, sword,                                                                          \
    (OCIEnv * env, OCIError * err, OCIRef * object_ref, OCIComplexObject * corhdl, OCIPinOpt pin_option,     \
     OCIDuration pin_duration, OCILockOpt lock_option, dvoid * *object),                                     \
    (env, err, object_ref, corhdl, pin_option, pin_duration, lock_option, object))                           \
  X(OCI, OCIObjectFree, IMPL, sword, (OCIEnv * env, OCIError * err, dvoid * instance, ub2 flags),            \
    (env, err, instance, flags))                                                                             \
  X(OCI, OCITypeByName, IMPL, sword,                                                                         \
    (OCIEnv * env, OCIError * err, const OCISvcCtx* svc, const text* schema_name, ub4 s_length,              \
     const text* type_name, ub4 t_length, const text* version_name, ub4 v_length, OCIDuration pin_duration,  \
     OCITypeGetOpt get_option, OCIType** tdo),                                                               \
    (env, err, svc, schema_name, s_length, type_name, t_length, version_name, v_length, pin_duration,        \
     get_option, tdo))                                                                                       \
  X(OCI, OCIObjectGetAttr, IMPL, sword,                                                                      \
    (OCIEnv * env, OCIError * err, dvoid * instance, dvoid * null_struct, OCIType * tdo, const text** names, \
     const ub4* lengths, ub4 name_count, const ub4* indexes, ub4 index_count, OCIInd* attr_null_status,      \
     dvoid** attr_null_struct, dvoid** attr_value, OCIType** attr_tdo),                                      \
    (env, err, instance, null_struct, tdo, names, lengths, name_count, indexes, index_count,                 \
     attr_null_status, attr_null_struct, attr_value, attr_tdo))                                              \
  X(OCI, OCIObjectSetAttr, IMPL, sword,                                                                      \
    (OCIEnv * env, OCIError * err, dvoid * instance, dvoid * null_struct, OCIType * tdo, const text** names, \
     const ub4* lengths, ub4 name_count, const ub4* indexes, ub4 index_count, OCIInd null_status,            \
     const dvoid* attr_null_struct, const dvoid* attr_value),                                                \
    (env, err, instance, null_struct, tdo, names, lengths, name_count, indexes, index_count, null_status,    \
     attr_null_struct, attr_value))                                                                          \
  X(OCI, OCIStringPtr, IMPL, text*, (OCIEnv * env, const OCIString* vs), (env, vs))                          \
  X(OCI, OCIStringAssignText, IMPL, sword,                                                                   \
    (OCIEnv * env, OCIError * err, const text* rhs, ub4 rhs_len, OCIString** lhs),                           \
    (env, err, rhs, rhs_len, lhs))                                                                           \
  X(OCI, OCINumberFromInt, IMPL, sword,                                                                      \
    (OCIError * err, const dvoid* inum, uword inum_length, uword inum_s_flag, OCINumber* number),            \
    (err, inum, inum_length, inum_s_flag, number))                                                           \
  X(OCI, OCINumberToInt, IMPL, sword,                                                                        \
    (OCIError * err, const OCINumber* number, uword rsl_length, uword rsl_flag, dvoid* rsl),                 \
    (err, number, rsl_length, rsl_flag, rsl))                                                                \
  X(OCI, OCINumberFromReal, IMPL, sword,                                                                     \
    (OCIError * err, const dvoid* rnum, uword rnum_length, OCINumber* number),                               \
    (err, rnum, rnum_length, number))                                                                        \
  X(OCI, OCINumberToReal, IMPL, sword,                                                                       \
    (OCIError * err, const OCINumber* number, uword rsl_length, dvoid* rsl), (err, number, rsl_length, rsl)) \
  X(OCI, OCINumberToText, IMPL, sword,                                                                       \
    (OCIError * err, const OCINumber* number, const text* fmt, ub4 fmt_length, const text* nls_params,       \
     ub4 nls_p_length, ub4* buf_size, text* buf),                                                            \
    (err, number, fmt, fmt_length, nls_params, nls_p_length, buf_size, buf))                                 \
  X(OCI, OCINumberFromText, IMPL, sword,                                                                     \
    (OCIError * err, const text* str, ub4 str_length, const text* fmt, ub4 fmt_length,                       \
     const text* nls_params, ub4 nls_p_length, OCINumber* number),                                           \
    (err, str, str_length, fmt, fmt_length, nls_params, nls_p_length, number))                               \
  X(OCI, OCIRawPtr, IMPL, ub1*, (OCIEnv * env, const OCIRaw* raw), (env, raw))                               \
  X(OCI, OCIRawSize, IMPL, ub4, (OCIEnv * env, const OCIRaw* raw), (env, raw))                               \
  X(OCI, OCIRawAssignBytes, IMPL, sword,                                                                     \
    (OCIEnv * env, OCIError * err, const ub1* rhs, ub4 rhs_len, OCIRaw** lhs),                               \
    (env, err, rhs, rhs_len, lhs))                                                                           \
  X(OCI, OCIRefAssign, IMPL, sword, (OCIEnv * env, OCIError * err, const OCIRef* source, OCIRef** target),   \
    (env, err, source, target))                                                                              \
  X(OCI, OCIRefClear, IMPL, void, (OCIEnv * env, OCIRef * ref), (env, ref))                                  \
  X(OCI, OCIRefIsNull, IMPL, boolean, (OCIEnv * env, const OCIRef* ref), (env, ref))                         \
  X(OCI, OCIRefFromHex, IMPL, sword,                                                                         \
    (OCIEnv * env, OCIError * err, const OCISvcCtx* svc, const text* hex, ub4 length, OCIRef** ref),         \
    (env, err, svc, hex, length, ref))                                                                       \
  X(OCI, OCIRefHexSize, IMPL, ub4, (OCIEnv * env, const OCIRef* ref), (env, ref))                            \
  X(OCI, OCIRefToHex, IMPL, sword,                                                                           \
    (OCIEnv * env, OCIError * err, const OCIRef* ref, text* hex, ub4* hex_length),                           \
    (env, err, ref, hex, hex_length))                                                                        \
  X(OCI, OCICollSize, IMPL, sword, (OCIEnv * env, OCIError * err, const OCIColl* coll, sb4* size),           \
    (env, err, coll, size))                                                                                  \
  X(OCI, OCICollTrim, IMPL, sword, (OCIEnv * env, OCIError * err, sb4 trim_num, OCIColl * coll),             \
    (env, err, trim_num, coll))                                                                              \
  X(OCI, OCICollMax, IMPL, sb4, (OCIEnv * env, const OCIColl* coll), (env, coll))                            \
  X(OCI, OCICollGetElem, IMPL, sword,                                                                        \
    (OCIEnv * env, OCIError * err, const OCIColl* coll, sb4 index, boolean* exists, dvoid** elem,            \
     dvoid** elemind),                                                                                       \
    (env, err, coll, index, exists, elem, elemind))                                                          \
  X(OCI, OCICollAssignElem, IMPL, sword,                                                                     \
    (OCIEnv * env, OCIError * err, sb4 index, const dvoid* elem, const dvoid* elemind, OCIColl* coll),       \
    (env, err, index, elem, elemind, coll))                                                                  \
  X(OCI, OCICollAppend, IMPL, sword,                                                                         \
    (OCIEnv * env, OCIError * err, const dvoid* elem, const dvoid* elemind, OCIColl* coll),                  \
    (env, err, elem, elemind, coll))                                                                         \
  X(OCI, OCITableDelete, IMPL, sword, (OCIEnv * env, OCIError * err, sb4 index, OCITable * tbl),             \
    (env, err, index, tbl))                                                                                  \
  X(OCI, OCICacheFlush, IMPL, sword,                                                                         \
    (OCIEnv * env, OCIError * err, const OCISvcCtx* svc, dvoid* context, OCICacheFlushGetFn get,             \
     OCIRef** ref),                                                                                          \
    (env, err, svc, context, get, ref))                                                                      \
  /* error-text calls */                                                                                     \
  X(ERRTEXT, ociepgoe, UNIMPL, sword, (dvoid * hndlp, sb4 code, text * buf, ub4 bufsiz),                     \
    (hndlp, code, buf, bufsiz))                                                                              \
  X(ERRTEXT, ociepmsg, UNIMPL, sword, (dvoid * hndlp, sb4 code, text * buf, ub4 bufsiz),                     \
    (hndlp, code, buf, bufsiz))                                                                              \
  /* 8.1 */                                                                                                  \
  X(OCI81, OCIEnvCreate, IMPL, sword,                                                                        \
    (OCIEnv * *envhpp, ub4 mode, dvoid * ctxp, OCIMallocFn malocfp, OCIReallocFn ralocfp, OCIFreeFn mfreefp, \
     size_t xtramem_sz, dvoid * *usrmempp),                                                                  \
    (envhpp, mode, ctxp, malocfp, ralocfp, mfreefp, xtramem_sz, usrmempp))                                   \
  X(OCI81, OCIDirPathAbort, UNIMPL, sword, (OCIDirPathCtx * dpctx, OCIError * errhp), (dpctx, errhp))        \
  X(OCI81, OCIDirPathFinish, UNIMPL, sword, (OCIDirPathCtx * dpctx, OCIError * errhp), (dpctx, errhp))       \
  X(OCI81, OCIDirPathPrepare, UNIMPL, sword, (OCIDirPathCtx * dpctx, OCISvcCtx * svchp, OCIError * errhp),   \
    (dpctx, svchp, errhp))                                                                                   \
  X(OCI81, OCIDirPathColArrayEntrySet, UNIMPL, sword,                                                        \
    (OCIDirPathColArray * dpca, OCIError * errhp, ub4 rownum, ub2 colIdx, ub1 * cvalp, ub4 clen, ub1 cflg),  \
    (dpca, errhp, rownum, colIdx, cvalp, clen, cflg))                                                        \
  X(OCI81, OCIDirPathColArrayToStream, UNIMPL, sword,                                                        \
    (OCIDirPathColArray * dpca, const OCIDirPathCtx* dpctx, OCIDirPathStream* dpstr, OCIError* errhp,        \
     ub4 rowcnt, ub4 rowoff),                                                                                \
    (dpca, dpctx, dpstr, errhp, rowcnt, rowoff))                                                             \
  X(OCI81, OCIDirPathLoadStream, UNIMPL, sword,                                                              \
    (OCIDirPathCtx * dpctx, OCIDirPathStream * dpstr, OCIError * errhp), (dpctx, dpstr, errhp))              \
  X(OCI81, OCIDirPathStreamReset, UNIMPL, sword, (OCIDirPathStream * dpstr, OCIError * errhp),               \
    (dpstr, errhp))                                                                                          \
  X(OCI81, OCILobCreateTemporary, IMPL, sword,                                                               \
    (OCISvcCtx * svchp, OCIError * errhp, OCILobLocator * locp, ub2 csid, ub1 csfrm, ub1 lobtype,            \
     boolean cache, OCIDuration duration),                                                                   \
    (svchp, errhp, locp, csid, csfrm, lobtype, cache, duration))                                             \
  X(OCI81, OCILobFreeTemporary, IMPL, sword, (OCISvcCtx * svchp, OCIError * errhp, OCILobLocator * locp),    \
    (svchp, errhp, locp))                                                                                    \
  X(OCI81, OCILobIsTemporary, IMPL, sword,                                                                   \
    (OCIEnv * envhp, OCIError * errhp, OCILobLocator * locp, boolean * is_temporary),                        \
    (envhp, errhp, locp, is_temporary))                                                                      \
  X(OCI81, OCIDateTimeToText, IMPL, sword,                                                                   \
    (dvoid * hndl, OCIError * err, const OCIDateTime* date, const text* fmt, ub1 fmt_length, ub1 fsprec,     \
     const text* lang_name, size_t lang_length, ub4* buf_size, text* buf),                                   \
    (hndl, err, date, fmt, fmt_length, fsprec, lang_name, lang_length, buf_size, buf))                       \
  X(OCI81, OCIDateTimeFromText, IMPL, sword,                                                                 \
    (dvoid * hndl, OCIError * err, const text* date_str, size_t dstr_length, const text* fmt,                \
     ub1 fmt_length, const text* lang_name, size_t lang_length, OCIDateTime* datetime),                      \
    (hndl, err, date_str, dstr_length, fmt, fmt_length, lang_name, lang_length, datetime))                   \
  X(OCI81, OCIDateTimeGetDate, IMPL, sword,                                                                  \
    (dvoid * hndl, OCIError * err, const OCIDateTime* date, sb2* yr, ub1* mnth, ub1* dy),                    \
    (hndl, err, date, yr, mnth, dy))                                                                         \
  X(OCI81, OCIDateTimeGetTime, IMPL, sword,                                                                  \
    (dvoid * hndl, OCIError * err, OCIDateTime * datetime, ub1 * hr, ub1 * mm, ub1 * ss, ub4 * fsec),        \
    (hndl, err, datetime, hr, mm, ss, fsec))                                                                 \
  X(OCI81, OCIDateTimeConstruct, IMPL, sword,                                                                \
    (dvoid * hndl, OCIError * err, OCIDateTime * datetime, sb2 yr, ub1 mnth, ub1 dy, ub1 hr, ub1 mm, ub1 ss, \
     ub4 fsec, text * timezone, size_t timezone_length),                                                     \
    (hndl, err, datetime, yr, mnth, dy, hr, mm, ss, fsec, timezone, timezone_length))                        \
  X(OCI81, OCIDateTimeAssign, IMPL, sword,                                                                   \
    (dvoid * hndl, OCIError * err, const OCIDateTime* from, OCIDateTime* to), (hndl, err, from, to))         \
  /* 9.0 */                                                                                                  \
  X(OCI90, OCIStmtFetch2, IMPL, sword,                                                                       \
    (OCIStmt * stmtp, OCIError * errhp, ub4 nrows, ub2 orientation, sb4 scrollOffset, ub4 mode),             \
    (stmtp, errhp, nrows, orientation, scrollOffset, mode))                                                  \
  /* 9.2 */                                                                                                  \
  X(OCI92, OCISessionPoolCreate, IMPL, sword,                                                                \
    (OCIEnv * envhp, OCIError * errhp, OCISPool * spoolhp, OraText * *poolName, ub4 * poolNameLen,           \
     const OraText* connStr, ub4 connStrLen, ub4 sessMin, ub4 sessMax, ub4 sessIncr, OraText* userid,        \
     ub4 useridLen, OraText* password, ub4 passwordLen, ub4 mode),                                           \
    (envhp, errhp, spoolhp, poolName, poolNameLen, connStr, connStrLen, sessMin, sessMax, sessIncr, userid,  \
     useridLen, password, passwordLen, mode))                                                                \
  X(OCI92, OCISessionPoolDestroy, IMPL, sword, (OCISPool * spoolhp, OCIError * errhp, ub4 mode),             \
    (spoolhp, errhp, mode))                                                                                  \
  X(OCI92, OCISessionGet, IMPL, sword,                                                                       \
    (OCIEnv * envhp, OCIError * errhp, OCISvcCtx * *svchp, OCIAuthInfo * authhp, OraText * poolName,         \
     ub4 poolName_len, const OraText* tagInfo, ub4 tagInfo_len, OraText** retTagInfo, ub4* retTagInfo_len,   \
     boolean* found, ub4 mode),                                                                              \
    (envhp, errhp, svchp, authhp, poolName, poolName_len, tagInfo, tagInfo_len, retTagInfo, retTagInfo_len,  \
     found, mode))                                                                                           \
  X(OCI92, OCISessionRelease, IMPL, sword,                                                                   \
    (OCISvcCtx * svchp, OCIError * errhp, OraText * tag, ub4 tag_len, ub4 mode),                             \
    (svchp, errhp, tag, tag_len, mode))                                                                      \
  X(OCI92, OCIStmtPrepare2, IMPL, sword,                                                                     \
    (OCISvcCtx * svchp, OCIStmt * *stmthp, OCIError * errhp, const OraText* stmttext, ub4 stmt_len,          \
     const OraText* key, ub4 keylen, ub4 language, ub4 mode),                                                \
    (svchp, stmthp, errhp, stmttext, stmt_len, key, keylen, language, mode))                                 \
  X(OCI92, OCIStmtRelease, IMPL, sword,                                                                      \
    (OCIStmt * stmtp, OCIError * errhp, const OraText* key, ub4 keylen, ub4 mode),                           \
    (stmtp, errhp, key, keylen, mode))                                                                       \
  /* host calls the access unit does not bind */                                                             \
  X(EXTRA, obndrv, IMPL, sword,                                                                              \
    (Cda_Def * cursor, text * sqlvar, sword sqlvl, ub1 * progv, sword progvl, sword ftype, sword scale,      \
     sb2 * indp, text * fmt, sword fmtl, sword fmtt),                                                        \
    (cursor, sqlvar, sqlvl, progv, progvl, ftype, scale, indp, fmt, fmtl, fmtt))                             \
  X(EXTRA, obndrn, IMPL, sword,                                                                              \
    (Cda_Def * cursor, sword sqlvn, ub1 * progv, sword progvl, sword ftype, sword scale, sb2 * indp,         \
     text * fmt, sword fmtl, sword fmtt),                                                                    \
    (cursor, sqlvn, progv, progvl, ftype, scale, indp, fmt, fmtl, fmtt))                                     \
  X(EXTRA, ofetch, IMPL, sword, (Cda_Def * cursor), (cursor))                                                \
  X(EXTRA, OCIStringSize, IMPL, ub4, (OCIEnv * env, const OCIString* vs), (env, vs))

/* ---------------------------------------------------------------------------------------------- */
/* Prototypes                                                                                      */

#if defined(TALVIK_OCI_BUILDING_LIBRARY)
#define TALVIK_OCI_API __attribute__((visibility("default")))
#else
#define TALVIK_OCI_API
#endif

/* The type of each entry point as a function pointer: OCIStmtExecute_fn and so on. */
#define TALVIK_OCI_DECLARE_FN_TYPE(group, name, kind, ret, params, args) typedef ret(*name##_fn) params;
TALVIK_OCI_ENTRY_POINTS(TALVIK_OCI_DECLARE_FN_TYPE)
#undef TALVIK_OCI_DECLARE_FN_TYPE

#ifdef __cplusplus
extern "C" {
#endif
#define TALVIK_OCI_DECLARE_PROTOTYPE(group, name, kind, ret, params, args) TALVIK_OCI_API ret name params;
TALVIK_OCI_ENTRY_POINTS(TALVIK_OCI_DECLARE_PROTOTYPE)
#undef TALVIK_OCI_DECLARE_PROTOTYPE
#ifdef __cplusplus
}
#endif

#endif /* TALVIK_ORACLE_ORACLECIAPI_H */
