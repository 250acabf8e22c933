#define _GNU_SOURCE
#include "snaplarkextension.h"
#include "utf16.h"

#include <errno.h>
#include <fcntl.h>
#include <pwd.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

/* The taskbar jump list of Windows becomes the user's desktop entry for
 * Snaplark, whose desktop action opens the captures folder; desktops show
 * it in the launcher's and the dock's context menu. */

static const char entry_name[] = "snaplark.desktop";

typedef struct {
    char *data;
    size_t length, capacity;
    int failed;
} Text;

static void append(Text *text, const char *data, size_t length)
{
    if (text->failed)
        return;
    if (text->length + length + 1 > text->capacity) {
        size_t capacity = text->capacity ? text->capacity : 256;
        while (text->length + length + 1 > capacity)
            capacity *= 2;
        char *grown = realloc(text->data, capacity);
        if (!grown) {
            text->failed = 1;
            return;
        }
        text->data = grown;
        text->capacity = capacity;
    }
    memcpy(text->data + text->length, data, length);
    text->length += length;
    text->data[text->length] = '\0';
}

static void append_text(Text *text, const char *data) { append(text, data, strlen(data)); }

/* One character of a string value, with the file format's escapes. */
static void append_value_char(Text *text, char c)
{
    switch (c) {
    case '\\': append_text(text, "\\\\"); break;
    case '\n': append_text(text, "\\n"); break;
    case '\t': append_text(text, "\\t"); break;
    case '\r': append_text(text, "\\r"); break;
    default: append(text, &c, 1);
    }
}

static void append_value(Text *text, const char *value)
{
    for (; *value; ++value)
        append_value_char(text, *value);
}

/* One argument of an Exec line: always quoted, the characters that keep a
 * meaning inside quotes escaped, percent signs doubled so that they are not
 * field codes; then the value escapes on top, as the Desktop Entry rules
 * apply them first when reading. */
static void append_exec_argument(Text *text, const char *argument)
{
    append_text(text, "\"");
    for (; *argument; ++argument) {
        if (strchr("\"`$\\", *argument))
            append_value_char(text, '\\');
        if (*argument == '%')
            append_text(text, "%");
        append_value_char(text, *argument);
    }
    append_text(text, "\"");
}

/* Characters a URL's path keeps as they are (RFC 3986: unreserved,
 * sub-delims, ':', '@' and the separator). */
static int path_char(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
           || (c && strchr("-._~!$&'()*+,;=:@/", c));
}

static int hex_digit(char c) { return c && strchr("0123456789abcdefABCDEF", c); }

/* Whether the path is already written as a URL path: nothing but path
 * characters and complete percent escapes. */
static int encoded_path(const char *path)
{
    for (; *path; ++path) {
        if (*path == '%' ? !(hex_digit(path[1]) && hex_digit(path[2])) : !path_char((unsigned char)*path))
            return 0;
        if (*path == '%')
            path += 2;
    }
    return 1;
}

/* The captures folder as a file URL.  Callers hand over "file:///" and the
 * folder, which may be pasted in unescaped: a name with a space, '%' or '#'
 * then is no URL (and '#' would end the path), so such a path is escaped
 * here.  One that already reads as a URL path is kept as it is. */
static char *folder_url(const char *given)
{
    const char *path = strncasecmp(given, "file:", 5) == 0 ? given + 5 : given;
    while (*path == '/')
        ++path; /* "file:///" pasted before an absolute path gives four slashes */
    Text url = {NULL, 0, 0, 0};
    append_text(&url, "file:///");
    if (encoded_path(path)) {
        append_text(&url, path);
    } else {
        for (; *path; ++path) {
            char escape[4];
            if (path_char((unsigned char)*path))
                append(&url, path, 1);
            else if (snprintf(escape, sizeof escape, "%%%02X", (unsigned char)*path) == 3)
                append(&url, escape, 3);
        }
    }
    if (url.failed) {
        free(url.data);
        return NULL;
    }
    return url.data;
}

static char *desktop_entry(const char *app_dir, const char *captures_url, const char *icon)
{
    Text text = {NULL, 0, 0, 0};
    char *program = NULL;
    size_t dir_length = strlen(app_dir);
    while (dir_length > 1 && app_dir[dir_length - 1] == '/')
        --dir_length;
    if (asprintf(&program, "%.*s/snaplark", (int)dir_length, app_dir) < 0)
        return NULL;
    append_text(&text, "[Desktop Entry]\n"
                       "Type=Application\n"
                       "Version=1.0\n"
                       "Name=Snaplark\n"
                       "GenericName=Screen Capture\n"
                       "Comment=Capture the screen as a picture, a video or an animated GIF\n"
                       "Exec=");
    append_exec_argument(&text, program);
    append_text(&text, "\nIcon=");
    append_value(&text, icon);
    append_text(&text, "\nTerminal=false\n"
                       "Categories=Graphics;Utility;\n"
                       "Actions=OpenCaptures;\n"
                       "\n"
                       "[Desktop Action OpenCaptures]\n"
                       "Name=Open Captures Folder\n"
                       "Exec=xdg-open ");
    append_exec_argument(&text, captures_url);
    append_text(&text, "\n");
    free(program);
    if (text.failed) {
        free(text.data);
        return NULL;
    }
    return text.data;
}

/* The program's icon file when one lies next to it, else the icon theme's
 * name for it. */
static char *icon_for(const char *app_dir)
{
    char *path = NULL;
    if (asprintf(&path, "%s/snaplark.png", app_dir) < 0)
        return NULL;
    if (access(path, R_OK) == 0)
        return path;
    free(path);
    return strdup("snaplark");
}

/* $XDG_DATA_HOME/applications, or ~/.local/share/applications. */
static char *applications_dir(void)
{
    char *dir = NULL;
    const char *data_home = getenv("XDG_DATA_HOME");
    if (data_home && data_home[0] == '/') {
        if (asprintf(&dir, "%s/applications", data_home) < 0)
            return NULL;
        return dir;
    }
    const char *home = getenv("HOME");
    if (!home || home[0] != '/') {
        const struct passwd *user = getpwuid(getuid());
        home = user ? user->pw_dir : NULL;
    }
    if (!home || home[0] != '/' || asprintf(&dir, "%s/.local/share/applications", home) < 0)
        return NULL;
    return dir;
}

static int make_dirs(char *path)
{
    for (char *slash = strchr(path + 1, '/');; slash = strchr(slash + 1, '/')) {
        if (slash)
            *slash = '\0';
        const int made = mkdir(path, 0700) == 0 || errno == EEXIST;
        if (slash)
            *slash = '/';
        if (!made)
            return 0;
        if (!slash)
            return 1;
    }
}

/* Whether the file holds exactly content. */
static int holds(const char *path, const char *content)
{
    FILE *file = fopen(path, "rb");
    if (!file)
        return 0;
    const size_t length = strlen(content);
    char *read = malloc(length + 1);
    const size_t got = read ? fread(read, 1, length + 1, file) : 0;
    const int same = read && got == length && memcmp(read, content, length) == 0;
    free(read);
    fclose(file);
    return same;
}

static int write_all(int fd, const char *data, size_t length)
{
    while (length > 0) {
        const ssize_t written = write(fd, data, length);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return 0;
        data += written;
        length -= (size_t)written;
    }
    return 1;
}

/* Readers never see a half-written entry: it is renamed into place. */
static int replace_file(const char *dir, const char *path, const char *content)
{
    char *temporary = NULL;
    if (asprintf(&temporary, "%s/.%s.XXXXXX", dir, entry_name) < 0)
        return 0;
    const int fd = mkstemp(temporary);
    int done = fd >= 0 && fchmod(fd, 0644) == 0 && write_all(fd, content, strlen(content))
               && fsync(fd) == 0;
    if (fd >= 0 && close(fd) != 0)
        done = 0;
    done = done && rename(temporary, path) == 0;
    if (fd >= 0 && !done)
        unlink(temporary);
    free(temporary);
    return done;
}

bool CreateJumpMenu(const char16_t *appDir, const char16_t *capturesUrl)
{
    char *app_dir = snaplark_utf16_to_utf8(appDir);
    char *captures = snaplark_utf16_to_utf8(capturesUrl);
    char *captures_url = captures && *captures ? folder_url(captures) : NULL;
    free(captures);
    char *icon = app_dir && *app_dir ? icon_for(app_dir) : NULL;
    char *content = icon && captures_url ? desktop_entry(app_dir, captures_url, icon) : NULL;
    char *dir = content ? applications_dir() : NULL;
    char *path = NULL;
    bool done = dir && make_dirs(dir) && asprintf(&path, "%s/%s", dir, entry_name) >= 0;
    done = done && (holds(path, content) || replace_file(dir, path, content));
    free(path);
    free(dir);
    free(content);
    free(icon);
    free(captures_url);
    free(app_dir);
    return done;
}
