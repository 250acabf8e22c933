/*
 * A stand-in for the extension libraries that records every call.
 *
 * Each call appends one line to the file named by SNAPLARK_STANDIN_LOG:
 * the library name, the function name and the arguments, separated by tabs;
 * texts are written as UTF-8.  Results come from the environment:
 *   SNAPLARK_STANDIN_RESULT     "0" makes every bool function return false
 *   SNAPLARK_STANDIN_RECT       "x,y,width,height,handle" for GetActiveWindowRect
 *   SNAPLARK_STANDIN_EXTENSION  UTF-8 text for GetVideoFileExtension
 *
 * STANDIN_LIBRARY names the library being built; STANDIN_PARTIAL leaves out
 * StopVideoCapture, KillOldProcesses and SendFocus.
 */
#include "snaplarkextension.h"
#include "utf16.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static void record(const char *function, const char *format, ...)
{
    const char *path = getenv("SNAPLARK_STANDIN_LOG");
    if (!path || !*path)
        return;
    FILE *log = fopen(path, "a");
    if (!log)
        return;
    fprintf(log, "%s\t%s", STANDIN_LIBRARY, function);
    va_list arguments;
    va_start(arguments, format);
    vfprintf(log, format, arguments);
    va_end(arguments);
    fputc('\n', log);
    fclose(log);
}

static bool result(void)
{
    const char *value = getenv("SNAPLARK_STANDIN_RESULT");
    return !value || strcmp(value, "0") != 0;
}

/* UTF-8 copies of the text arguments, freed after recording. */
static char *text(const char16_t *value)
{
    char *copy = snaplark_utf16_to_utf8(value);
    return copy ? copy : strdup("(null)");
}

bool GetActiveWindowRect(int *x, int *y, int *width, int *height, int *handle)
{
    record("GetActiveWindowRect", "");
    const char *rect = getenv("SNAPLARK_STANDIN_RECT");
    if (rect)
        sscanf(rect, "%d,%d,%d,%d,%d", x, y, width, height, handle);
    return result();
}

void GetVideoFileExtension(char16_t *buffer, int capacity)
{
    record("GetVideoFileExtension", "\t%d", capacity);
    const char *extension = getenv("SNAPLARK_STANDIN_EXTENSION");
    snaplark_utf8_to_utf16(extension ? extension : "", buffer, capacity);
}

bool StartVideoCapture(int fullScreen, int x, int y, int width, int height, int windowHandle,
                       const char16_t *path, int frameRate, bool sound)
{
    char *p = text(path);
    record("StartVideoCapture", "\t%d\t%d\t%d\t%d\t%d\t%d\t%s\t%d\t%d", fullScreen, x, y, width,
           height, windowHandle, p, frameRate, (int)sound);
    free(p);
    return result();
}

bool IsVideoFileValid(const char16_t *path)
{
    char *p = text(path);
    record("IsVideoFileValid", "\t%s", p);
    free(p);
    return result();
}

bool SetHotkey(unsigned modifiers, unsigned key)
{
    record("SetHotkey", "\t%u\t%u", modifiers, key);
    return result();
}

bool CreateJumpMenu(const char16_t *appDir, const char16_t *capturesUrl)
{
    char *dir = text(appDir);
    char *url = text(capturesUrl);
    record("CreateJumpMenu", "\t%s\t%s", dir, url);
    free(dir);
    free(url);
    return result();
}

bool SendSignal(const char16_t *windowName, unsigned msg, unsigned wParam, unsigned lParam)
{
    char *name = text(windowName);
    record("SendSignal", "\t%s\t%#x\t%#x\t%#x", name, msg, wParam, lParam);
    free(name);
    return result();
}

bool SetHooks(bool enable, int reserved, const char16_t *windowTitle)
{
    char *title = text(windowTitle);
    record("SetHooks", "\t%d\t%d\t%s", (int)enable, reserved, title);
    free(title);
    return result();
}

#ifndef STANDIN_PARTIAL
void StopVideoCapture(void)
{
    record("StopVideoCapture", "");
}

void KillOldProcesses(void)
{
    record("KillOldProcesses", "");
}

bool SendFocus(int x, int y)
{
    record("SendFocus", "\t%d\t%d", x, y);
    return result();
}
#endif
