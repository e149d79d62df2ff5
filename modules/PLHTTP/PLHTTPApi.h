/* What the "HTTP" module exports besides the engine interface: the dialog
 * that edits the parameter text of an HTTP connection. */
#ifndef CORVALEN_PLHTTPAPI_H
#define CORVALEN_PLHTTPAPI_H

#include "PLEngineApi.h"

#ifdef __cplusplus
extern "C" {
#endif

/* parentWindow: the QWidget* of the calling dialog, or 0. buffer: size bytes
 * holding the current zero-terminated text. Non-zero when the user accepted;
 * the buffer then holds the new text, zero-terminated. Runs a modal dialog on
 * the user-interface thread of the process's QApplication. */
typedef uint16_t (*TParamDialogFn)(intptr_t parentWindow, char* buffer, int32_t size);

#ifdef PL_ENGINE_MODULE
PL_ENGINE_EXPORT uint16_t ParamDialog(intptr_t parentWindow, char* buffer, int32_t size);
#endif

#ifdef __cplusplus
}
#endif

#endif
