#ifndef TVXCONTROL2_H
#define TVXCONTROL2_H

/*
 * The USB sensor driver library: finds the sensors on USB, opens them, sends
 * SCPI commands and binary blocks, and hands back their results.
 *
 * Every function returns a status: 0 for success, a negative TVX_ERR_* value
 * of the driver, or (from TvxGetError) a sensor error code; TvxGetErrorText
 * turns each into a text. TvxGetErrorText and TvxGetStringResult return the
 * length to provide (terminating zero included) when called with a null
 * buffer or one that is too short.
 *
 * Results: a query's answer is kept as one result of type TVX_RESULT_BINARY
 * (a definite-length block, without its header) or TVX_RESULT_TEXT (the
 * answer without its final line feed), read with TvxGetData and then the
 * matching TvxGet...Result call, and dropped with TvxDiscardResult.
 *
 * Calls on different handles may come from different threads; one handle is
 * used by one thread at a time, except that TvxCloseSensor may come from any
 * thread and makes a call blocked on that handle return at once. No call
 * blocks longer than its timeout (or, for calls without one, a few seconds).
 */

#include <stdint.h>

#if defined(__GNUC__)
#define TVX_API __attribute__((visibility("default")))
#else
#define TVX_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Buffer sizes of TvxGetDeviceInfo's texts. */
#define TVX_DEVICE_TEXT_SIZE 128

/* Result types of TvxGetData. */
#define TVX_RESULT_BINARY 0u
#define TVX_RESULT_TEXT 10u

/* Sensor error codes of TvxGetError. */
#define TVX_SENSOR_ERROR_BLOCK_DATA 0xD0000001u       /* the data block was refused */
#define TVX_SENSOR_ERROR_SETTINGS_CONFLICT 0xD0000002u /* a data set not for this area or sensor */
#define TVX_SENSOR_ERROR_UNDEFINED_HEADER 0xD0000089u  /* the sensor does not know the command */

/* Driver statuses. */
#define TVX_ERR_NOT_OPEN ((int32_t)0xC0000001)          /* TvxOpenDriver was not called */
#define TVX_ERR_INVALID_ARGUMENT ((int32_t)0xC0000002)  /* a null pointer or a value out of range */
#define TVX_ERR_INVALID_HANDLE ((int32_t)0xC0000003)    /* no open sensor has this handle */
#define TVX_ERR_NO_SUCH_DEVICE ((int32_t)0xC0000004)    /* no sensor of that name is connected */
#define TVX_ERR_TIMEOUT ((int32_t)0xC0000005)           /* the sensor did not answer in time */
#define TVX_ERR_CONNECTION_LOST ((int32_t)0xC0000006)   /* the sensor went away */
#define TVX_ERR_PROTOCOL ((int32_t)0xC0000007)          /* the sensor's answer cannot be read */
#define TVX_ERR_NO_RESULT ((int32_t)0xC0000008)         /* no result waits */
#define TVX_ERR_WRONG_RESULT_TYPE ((int32_t)0xC0000009) /* the waiting result is of the other type */
#define TVX_ERR_BUFFER_TOO_SMALL ((int32_t)0xC000000A)  /* the result does not fit the buffer */
#define TVX_ERR_REQUEST_FAILED ((int32_t)0xC000000B)    /* the sensor refused the request */
#define TVX_ERR_REPLY_TOO_LONG ((int32_t)0xC000000C)    /* the answer is longer than any result can be */
#define TVX_ERR_LIST_NOT_LOCKED ((int32_t)0xC000000D)   /* the device list was not locked */
#define TVX_ERR_SYSTEM ((int32_t)0xC000000E)            /* the operating system refused */
#define TVX_ERR_NO_ACCESS ((int32_t)0xC000000F)         /* the user may not open the sensor's USB device */
#define TVX_ERR_BUSY ((int32_t)0xC0000010)              /* another program holds the sensor's USB interface */
#define TVX_ERR_LOCKED ((int32_t)0xC0000011)            /* another program holds the sensor's lock */

TVX_API int32_t TvxOpenDriver(void);
TVX_API int32_t TvxCloseDriver(void);

TVX_API int32_t TvxLockDeviceList(void);
TVX_API int32_t TvxGetDeviceListLength(int32_t* count);
TVX_API int32_t TvxGetDeviceInfo(int32_t index, char* deviceName, char* sensorType, char* serialNumber,
                                 int32_t* present);
TVX_API int32_t TvxCommitDeviceList(void);

TVX_API int32_t TvxGetErrorText(int32_t status, char* buffer, int32_t length);

TVX_API int32_t TvxOpenSensor(const char* deviceName, int32_t* sensor);
TVX_API int32_t TvxCloseSensor(int32_t sensor);

TVX_API int32_t TvxEmptyAllBuffers(int32_t sensor);
TVX_API int32_t TvxEmptyErrorQueue(int32_t sensor);
TVX_API int32_t TvxSendCommand(int32_t sensor, const char* command, int32_t timeout);
TVX_API int32_t TvxSendBinaryBlock(int32_t sensor, const char* header, const void* data, int32_t count,
                                   int32_t timeout);
TVX_API int32_t TvxGetError(int32_t sensor, uint32_t* code);

TVX_API int32_t TvxDataAvailable(int32_t sensor, int32_t* available);
TVX_API int32_t TvxGetData(int32_t sensor, uint32_t* type, uint32_t* length, uint32_t* sequence);
TVX_API int32_t TvxGetStringResult(int32_t sensor, char* buffer, int32_t length);
TVX_API int32_t TvxGetBinaryResultLength(int32_t sensor, int32_t* length);
TVX_API int32_t TvxGetBinaryResult(int32_t sensor, void* buffer, int32_t length, int32_t* count);
TVX_API int32_t TvxDiscardResult(int32_t sensor);

TVX_API int32_t TvxSendVendorOutRequest(int32_t sensor, int32_t request, int32_t value, int32_t index);

#ifdef __cplusplus
}
#endif

#endif
