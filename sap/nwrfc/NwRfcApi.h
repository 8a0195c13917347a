#pragma once
// The C interface of SAP's NetWeaver RFC library (libsapnwrfc), declared here
// from its documented types and functions, so that ORVEX can load the library
// at run time and builds without it. Only what ORVEX uses is declared.
#include <cstdint>

namespace orvex::nwrfc {

// One UTF-16 code unit in the platform's byte order (the library's SAP_UC).
using SAP_UC = char16_t;
using RFC_CHAR = SAP_UC;
using RFC_NUM = SAP_UC;

using RFC_CONNECTION_HANDLE = void*;
using RFC_FUNCTION_DESC_HANDLE = void*;
using RFC_TYPE_DESC_HANDLE = void*;
using DATA_CONTAINER_HANDLE = void*;  // a function, structure or table
using RFC_FUNCTION_HANDLE = void*;
using RFC_STRUCTURE_HANDLE = void*;
using RFC_TABLE_HANDLE = void*;

enum RFC_RC : int {
    RFC_OK = 0,
    RFC_COMMUNICATION_FAILURE = 1,
    RFC_LOGON_FAILURE = 2,
    RFC_ABAP_RUNTIME_FAILURE = 3,
    RFC_ABAP_MESSAGE = 4,
    RFC_ABAP_EXCEPTION = 5,
    RFC_CLOSED = 6,
    RFC_CANCELED = 7,
    RFC_TIMEOUT = 8,
    RFC_MEMORY_INSUFFICIENT = 9,
    RFC_VERSION_MISMATCH = 10,
    RFC_INVALID_PROTOCOL = 11,
    RFC_SERIALIZATION_FAILURE = 12,
    RFC_INVALID_HANDLE = 13,
    RFC_RETRY = 14,
    RFC_EXTERNAL_FAILURE = 15,
    RFC_EXECUTED = 16,
    RFC_NOT_FOUND = 17,
    RFC_NOT_SUPPORTED = 18,
    RFC_ILLEGAL_STATE = 19,
    RFC_INVALID_PARAMETER = 20,
    RFC_CODEPAGE_CONVERSION_FAILURE = 21,
    RFC_CONVERSION_FAILURE = 22,
    RFC_BUFFER_TOO_SMALL = 23,
    RFC_TABLE_MOVE_BOF = 24,
    RFC_TABLE_MOVE_EOF = 25,
    RFC_START_SAPGUI_FAILURE = 26,
    RFC_ABAP_CLASS_EXCEPTION = 27,
    RFC_UNKNOWN_ERROR = 28,
    RFC_AUTHORIZATION_FAILURE = 29,
    RFC_AUTHENTICATION_FAILURE = 30,
    RFC_CRYPTOLIB_FAILURE = 31,
    RFC_IO_FAILURE = 32,
    RFC_LOCKING_FAILURE = 33,
};

enum RFC_ERROR_GROUP : int {
    OK = 0,
    ABAP_APPLICATION_FAILURE = 1,
    ABAP_RUNTIME_FAILURE = 2,
    LOGON_FAILURE = 3,
    COMMUNICATION_FAILURE = 4,
    EXTERNAL_RUNTIME_FAILURE = 5,
    EXTERNAL_APPLICATION_FAILURE = 6,
    EXTERNAL_AUTHORIZATION_FAILURE = 7,
};

enum RFCTYPE : int {
    RFCTYPE_CHAR = 0,
    RFCTYPE_DATE = 1,
    RFCTYPE_BCD = 2,
    RFCTYPE_TIME = 3,
    RFCTYPE_BYTE = 4,
    RFCTYPE_TABLE = 5,
    RFCTYPE_NUM = 6,
    RFCTYPE_FLOAT = 7,
    RFCTYPE_INT = 8,
    RFCTYPE_INT2 = 9,
    RFCTYPE_INT1 = 10,
    RFCTYPE_STRUCTURE = 17,
    RFCTYPE_STRING = 29,
    RFCTYPE_XSTRING = 30,
};

// Every text array is zero-terminated.
struct RFC_ERROR_INFO {
    RFC_RC code;
    RFC_ERROR_GROUP group;
    SAP_UC key[128];
    SAP_UC message[512];
    SAP_UC abapMsgClass[20 + 1];
    SAP_UC abapMsgType[1 + 1];
    RFC_NUM abapMsgNumber[3 + 1];
    SAP_UC abapMsgV1[50 + 1];
    SAP_UC abapMsgV2[50 + 1];
    SAP_UC abapMsgV3[50 + 1];
    SAP_UC abapMsgV4[50 + 1];
};
static_assert(sizeof(RFC_ERROR_INFO) == 1752, "RFC_ERROR_INFO must keep the library's layout");

struct RFC_CONNECTION_PARAMETER {
    const SAP_UC* name;
    const SAP_UC* value;
};

struct RFC_FIELD_DESC {
    SAP_UC name[30 + 1];
    RFCTYPE type;
    unsigned nucLength, nucOffset;  // bytes in a non-Unicode system
    unsigned ucLength, ucOffset;    // bytes in a Unicode system: CHAR n is 2n
    unsigned decimals;
    RFC_TYPE_DESC_HANDLE typeDescHandle;
    void* extendedDescription;
};

// The functions, as pointer types for dlsym; all use the C calling convention.
extern "C" {
using RfcOpenConnection_t = RFC_CONNECTION_HANDLE (*)(const RFC_CONNECTION_PARAMETER*, unsigned, RFC_ERROR_INFO*);
using RfcCloseConnection_t = RFC_RC (*)(RFC_CONNECTION_HANDLE, RFC_ERROR_INFO*);
using RfcGetFunctionDesc_t = RFC_FUNCTION_DESC_HANDLE (*)(RFC_CONNECTION_HANDLE, const SAP_UC*, RFC_ERROR_INFO*);
using RfcCreateFunction_t = RFC_FUNCTION_HANDLE (*)(RFC_FUNCTION_DESC_HANDLE, RFC_ERROR_INFO*);
using RfcDestroyFunction_t = RFC_RC (*)(RFC_FUNCTION_HANDLE, RFC_ERROR_INFO*);
using RfcInvoke_t = RFC_RC (*)(RFC_CONNECTION_HANDLE, RFC_FUNCTION_HANDLE, RFC_ERROR_INFO*);
using RfcSetChars_t = RFC_RC (*)(DATA_CONTAINER_HANDLE, const SAP_UC*, const RFC_CHAR*, unsigned, RFC_ERROR_INFO*);
using RfcGetChars_t = RFC_RC (*)(DATA_CONTAINER_HANDLE, const SAP_UC*, RFC_CHAR*, unsigned, RFC_ERROR_INFO*);
using RfcGetTable_t = RFC_RC (*)(DATA_CONTAINER_HANDLE, const SAP_UC*, RFC_TABLE_HANDLE*, RFC_ERROR_INFO*);
using RfcAppendNewRow_t = RFC_STRUCTURE_HANDLE (*)(RFC_TABLE_HANDLE, RFC_ERROR_INFO*);
using RfcGetRowCount_t = RFC_RC (*)(RFC_TABLE_HANDLE, unsigned*, RFC_ERROR_INFO*);
using RfcMoveTo_t = RFC_RC (*)(RFC_TABLE_HANDLE, unsigned, RFC_ERROR_INFO*);
using RfcDescribeType_t = RFC_TYPE_DESC_HANDLE (*)(DATA_CONTAINER_HANDLE, RFC_ERROR_INFO*);
using RfcGetFieldCount_t = RFC_RC (*)(RFC_TYPE_DESC_HANDLE, unsigned*, RFC_ERROR_INFO*);
using RfcGetFieldDescByIndex_t = RFC_RC (*)(RFC_TYPE_DESC_HANDLE, unsigned, RFC_FIELD_DESC*, RFC_ERROR_INFO*);
using RfcGetFieldDescByName_t = RFC_RC (*)(RFC_TYPE_DESC_HANDLE, const SAP_UC*, RFC_FIELD_DESC*, RFC_ERROR_INFO*);
using RfcGetVersion_t = const SAP_UC* (*)(unsigned*, unsigned*, unsigned*);
using RfcCancel_t = RFC_RC (*)(RFC_CONNECTION_HANDLE, RFC_ERROR_INFO*);
}

}  // namespace orvex::nwrfc
