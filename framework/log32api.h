/* The C interface of the logging library log32, which the engines bind at run
 * time by name. Shared by the library and by the engines' binding, so the two
 * always agree on the signatures. */
#ifndef CORVALEN_LOG32API_H
#define CORVALEN_LOG32API_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define LOG32_EXPORT __attribute__((visibility("default")))

/* The configured level for the calls that follow on this thread. */
typedef void (*TSetLogLevel)(uint16_t level);
/* Opens or creates a log file; 0 when it cannot. */
typedef int32_t (*TOpenLog)(const char* fileName);
typedef void (*TCloseLog)(int32_t handle);
/* Starts the file again, empty. */
typedef void (*TRewindLog)(int32_t handle);
/* A hex dump of len bytes under a title, width bytes a line, a blank line
 * after every block bytes. */
typedef void (*TDumpLog)(int32_t handle, uint16_t level, const char* title, uint16_t width,
                         const void* data, uint16_t len, uint16_t block);
/* One message, written as given (the caller adds its line end). */
typedef void (*TMsgLog)(int32_t handle, uint16_t level, const char* text);

#ifdef __cplusplus
}
#endif

#endif
