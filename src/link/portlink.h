/* libportlink: the serial-interface library that talks to a Brenlock card.
 *
 * A C ABI with one process-wide port. COM n (1 to 8) is the device that the
 * symbolic link `comN` names in $PORTLINK_DEVICE_DIR, else in
 * ${XDG_CONFIG_HOME:-~/.config}/portlink/; without such a link it is
 * /dev/ttyS{n-1}. Line settings: 9600 baud, 8N1, raw, no flow control.
 *
 * Every function may be called from any one thread while the library's own
 * reader thread runs; none of them blocks for longer than it says below.
 */
#ifndef PORTLINK_H
#define PORTLINK_H

#include <stdint.h>

#if defined(PORTLINK_BUILDING)
#define PORTLINK_API __attribute__((visibility("default")))
#else
#define PORTLINK_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Starts the background reader. Idempotent. Returns nonzero. */
PORTLINK_API int16_t Run(void);

/* Stops the background reader and waits for it to end. Idempotent. */
PORTLINK_API int16_t Stop(void);

/* Opens COM `port` exclusively, without blocking and without making it the
 * controlling terminal; closes a port that is already open first. Returns 0
 * on any failure and says on standard error which device failed and why. */
PORTLINK_API int16_t OpenCommPort(int16_t port);

/* 9600 baud, 8 data bits, no parity, 1 stop bit, raw, no flow control,
 * modem lines ignored. Returns 0 when no port is open or the device refuses. */
PORTLINK_API int16_t ConfigureOpenComPort(void);

/* Lets the bytes already written go out (at most the time they need at the
 * line rate plus one second), then closes. Harmless when nothing is open. */
PORTLINK_API int16_t CloseCommPort(void);

/* Hands one byte to the device and returns; waits for room in the output
 * buffer no longer than `timeout_ms`. Nonzero when the byte was accepted; 0
 * when no port is open, the device failed or hung up, or there was no room. */
PORTLINK_API int16_t WriteToBoard(uint8_t byte, int32_t timeout_ms);

/* Nonzero while written bytes have not yet left; 0 when all have gone and
 * once the device has failed. Never blocks. */
PORTLINK_API int16_t IsSendingData(void);

/* Logs every byte the card sends to `file_name` (created or appended,
 * relative to the current folder). When the file cannot be opened, logging
 * stays off. Returns nonzero when logging is on afterwards. */
PORTLINK_API int16_t StartLogging(const char *file_name);

/* Closes the log file. */
PORTLINK_API int16_t StopLogging(void);

/* Exactly 1 while logging, 0 otherwise. */
PORTLINK_API int16_t IsLogging(void);

/* Writes the current log file name, NUL-terminated, never more than `size`
 * bytes. Nonzero when a name was written. */
PORTLINK_API int16_t GetLogFileName(char *buffer, int32_t size);

/* The next byte the card sent: 1 with *byte set, 0 when none came within
 * `timeout_ms`. */
PORTLINK_API int16_t ReadByteFromBoard(uint8_t *byte, int32_t timeout_ms);

#ifdef __cplusplus
}
#endif

#endif /* PORTLINK_H */
