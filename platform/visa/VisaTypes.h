#ifndef OSTREL_VISATYPES_H
#define OSTREL_VISATYPES_H

/*
 * The VISA C interface as far as this program and its VISA library use it:
 * the standard's types, status codes, attributes and functions, with the
 * standard's names and values (VPP-4.3.2), so that any VISA library can be
 * called through it and any VISA client can call ours.
 */

#include <stdint.h>

typedef uint32_t ViUInt32;
typedef int32_t ViInt32;
typedef uint16_t ViUInt16;
typedef int16_t ViInt16;
typedef uint8_t ViUInt8;
typedef char ViChar;
typedef unsigned char ViByte;
typedef ViUInt16 ViBoolean;
typedef ViInt32 ViStatus;
typedef ViUInt32 ViObject;
typedef ViObject ViSession;
typedef ViUInt32 ViAttr;
typedef ViUInt32 ViAccessMode;
typedef ViUInt32 ViFindList;
typedef ViUInt32 ViEventType;
typedef ViChar* ViString;
typedef const ViChar* ViConstString;
typedef ViString ViRsrc;
typedef ViConstString ViConstRsrc;
typedef ViString ViKeyId;
typedef ViConstString ViConstKeyId;
typedef ViByte* ViBuf;
typedef const ViByte* ViConstBuf;
typedef ViSession* ViPSession;
typedef ViFindList* ViPFindList;
typedef ViUInt32* ViPUInt32;
typedef ViUInt16* ViPUInt16;
/* 64-bit wide, as the standard gives it on 64-bit platforms. */
typedef uint64_t ViAttrState;

#define VI_NULL 0
#define VI_TRUE 1
#define VI_FALSE 0
#define VI_FIND_BUFLEN 256
#define VI_TMO_IMMEDIATE 0u
#define VI_TMO_INFINITE 0xFFFFFFFFu
#define VI_NO_LOCK 0u
#define VI_EXCLUSIVE_LOCK 1u
#define VI_SHARED_LOCK 2u
#define VI_LOAD_CONFIG 4u
#define VI_SPEC_VERSION 0x00500800u

#define VI_INTF_TCPIP 6
#define VI_INTF_USB 7

/* Completion codes and warnings. */
#define VI_SUCCESS ((ViStatus)0)
#define VI_SUCCESS_EVENT_DIS ((ViStatus)0x3FFF0003)
#define VI_SUCCESS_QUEUE_EMPTY ((ViStatus)0x3FFF0004)
#define VI_SUCCESS_TERM_CHAR ((ViStatus)0x3FFF0005)
#define VI_SUCCESS_MAX_CNT ((ViStatus)0x3FFF0006)
#define VI_SUCCESS_NESTED_EXCLUSIVE ((ViStatus)0x3FFF009A)
#define VI_WARN_NSUP_ATTR_STATE ((ViStatus)0x3FFF0084)
#define VI_WARN_UNKNOWN_STATUS ((ViStatus)0x3FFF0085)
#define VI_WARN_EXT_FUNC_NIMPL ((ViStatus)0x3FFF00A9)

/* Errors. */
#define VI_ERROR_SYSTEM_ERROR ((ViStatus)0xBFFF0000)
#define VI_ERROR_INV_OBJECT ((ViStatus)0xBFFF000E)
#define VI_ERROR_RSRC_LOCKED ((ViStatus)0xBFFF000F)
#define VI_ERROR_INV_EXPR ((ViStatus)0xBFFF0010)
#define VI_ERROR_RSRC_NFOUND ((ViStatus)0xBFFF0011)
#define VI_ERROR_INV_RSRC_NAME ((ViStatus)0xBFFF0012)
#define VI_ERROR_INV_ACC_MODE ((ViStatus)0xBFFF0013)
#define VI_ERROR_TMO ((ViStatus)0xBFFF0015)
#define VI_ERROR_NSUP_ATTR ((ViStatus)0xBFFF001D)
#define VI_ERROR_NSUP_ATTR_STATE ((ViStatus)0xBFFF001E)
#define VI_ERROR_ATTR_READONLY ((ViStatus)0xBFFF001F)
#define VI_ERROR_INV_LOCK_TYPE ((ViStatus)0xBFFF0020)
#define VI_ERROR_ALLOC ((ViStatus)0xBFFF003C)
#define VI_ERROR_IO ((ViStatus)0xBFFF003E)
#define VI_ERROR_INV_FMT ((ViStatus)0xBFFF003F)
#define VI_ERROR_NSUP_OPER ((ViStatus)0xBFFF0067)
#define VI_ERROR_USER_BUF ((ViStatus)0xBFFF0071)
#define VI_ERROR_RSRC_BUSY ((ViStatus)0xBFFF0072)
#define VI_ERROR_INV_PARAMETER ((ViStatus)0xBFFF0078)
#define VI_ERROR_INV_SIZE ((ViStatus)0xBFFF007B)
#define VI_ERROR_INV_LENGTH ((ViStatus)0xBFFF0083)
#define VI_ERROR_SESN_NLOCKED ((ViStatus)0xBFFF009C)
#define VI_ERROR_CONN_LOST ((ViStatus)0xBFFF00A6)
#define VI_ERROR_NPERMISSION ((ViStatus)0xBFFF00A8)

/* Attributes. */
#define VI_ATTR_RSRC_CLASS 0xBFFF0001u
#define VI_ATTR_RSRC_NAME 0xBFFF0002u
#define VI_ATTR_RSRC_IMPL_VERSION 0x3FFF0003u
#define VI_ATTR_RSRC_LOCK_STATE 0x3FFF0004u
#define VI_ATTR_RSRC_SPEC_VERSION 0x3FFF0170u
#define VI_ATTR_INTF_TYPE 0x3FFF0171u
#define VI_ATTR_RSRC_MANF_NAME 0xBFFF0174u
#define VI_ATTR_RSRC_MANF_ID 0x3FFF0175u
#define VI_ATTR_INTF_NUM 0x3FFF0176u
#define VI_ATTR_INTF_INST_NAME 0xBFFF00E9u
#define VI_ATTR_SEND_END_EN 0x3FFF0016u
#define VI_ATTR_TERMCHAR 0x3FFF0018u
#define VI_ATTR_TMO_VALUE 0x3FFF001Au
#define VI_ATTR_TERMCHAR_EN 0x3FFF0038u
#define VI_ATTR_MANF_NAME 0xBFFF0072u
#define VI_ATTR_MODEL_NAME 0xBFFF0077u
#define VI_ATTR_MANF_ID 0x3FFF00D9u
#define VI_ATTR_MODEL_CODE 0x3FFF00DFu
#define VI_ATTR_TCPIP_ADDR 0xBFFF0195u
#define VI_ATTR_TCPIP_HOSTNAME 0xBFFF0196u
#define VI_ATTR_TCPIP_DEVICE_NAME 0xBFFF0199u
#define VI_ATTR_USB_SERIAL_NUM 0xBFFF01A0u
#define VI_ATTR_USB_INTFC_NUM 0x3FFF01A1u

#ifdef __cplusplus
extern "C" {
#endif

/* The functions, as every VISA library exports them. */
typedef ViStatus (*ViOpenDefaultRMFn)(ViPSession vi);
typedef ViStatus (*ViFindRsrcFn)(ViSession sesn, ViConstString expr, ViPFindList vi, ViPUInt32 retCnt,
                                 ViChar desc[]);
typedef ViStatus (*ViFindNextFn)(ViFindList vi, ViChar desc[]);
typedef ViStatus (*ViOpenFn)(ViSession sesn, ViConstRsrc name, ViAccessMode mode, ViUInt32 timeout, ViPSession vi);
typedef ViStatus (*ViCloseFn)(ViObject vi);
typedef ViStatus (*ViGetAttributeFn)(ViObject vi, ViAttr attrName, void* attrValue);
typedef ViStatus (*ViSetAttributeFn)(ViObject vi, ViAttr attrName, ViAttrState attrValue);
typedef ViStatus (*ViStatusDescFn)(ViObject vi, ViStatus status, ViChar desc[]);
typedef ViStatus (*ViLockFn)(ViSession vi, ViAccessMode lockType, ViUInt32 timeout, ViConstKeyId requestedKey,
                             ViChar accessKey[]);
typedef ViStatus (*ViUnlockFn)(ViSession vi);
typedef ViStatus (*ViReadFn)(ViSession vi, ViBuf buf, ViUInt32 cnt, ViPUInt32 retCnt);
typedef ViStatus (*ViWriteFn)(ViSession vi, ViConstBuf buf, ViUInt32 cnt, ViPUInt32 retCnt);

#ifdef __cplusplus
}
#endif

#endif
