#include "names.h"

#include <sodium.h>

#include <cstdio>

namespace Names {

namespace {

constexpr char kIdAlphabet[] = "abcdefghijkmnpqrstuvwxyz23456789"; // no look-alikes (l, o, 0, 1)
constexpr int kIdLength = 12;                                        // 60 bits
constexpr size_t kMaxExtension = 8;
constexpr int64_t kMaxDuration = int64_t(10) * 366 * 24 * 3600;

bool isLowerAlnum(char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'); }
char lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

} // namespace

std::string newId()
{
    std::string id(kIdLength, ' ');
    for (char &c : id)
        c = kIdAlphabet[randombytes_uniform(sizeof kIdAlphabet - 1)];
    return id;
}

bool isId(const std::string &text)
{
    if (text.size() != size_t(kIdLength))
        return false;
    for (char c : text)
        if (std::string(kIdAlphabet).find(c) == std::string::npos)
            return false;
    return true;
}

std::string extensionOf(const std::string &fileName)
{
    const size_t slash = fileName.find_last_of("/\\");
    const std::string base = slash == std::string::npos ? fileName : fileName.substr(slash + 1);
    const size_t dot = base.rfind('.');
    // ".bashrc" is a name, not an extension
    if (dot == std::string::npos || dot == 0)
        return std::string();
    std::string extension;
    for (char c : base.substr(dot + 1)) {
        c = lower(c);
        if (!isLowerAlnum(c))
            return std::string();
        extension += c;
    }
    return extension.size() <= kMaxExtension ? extension : std::string();
}

std::optional<std::string> putExtension(const std::string &decodedPath)
{
    if (decodedPath.size() < 2 || decodedPath[0] != '/')
        return std::nullopt;
    const std::string name = decodedPath.substr(1);
    if (name == "." || name == "..")
        return std::nullopt;
    for (char c : name)
        if (c == '/' || c == '\\' || c == '\0' || static_cast<unsigned char>(c) < 0x20)
            return std::nullopt;
    return extensionOf(name);
}

Kind kindOf(const std::string &extension)
{
    for (const char *image : {"png", "jpg", "jpeg", "gif", "webp", "bmp"})
        if (extension == image)
            return Kind::Image;
    for (const char *video : {"mp4", "webm", "ogv", "mov", "m4v"})
        if (extension == video)
            return Kind::Video;
    return Kind::Other;
}

std::string contentTypeOf(const std::string &extension)
{
    static const struct { const char *extension, *type; } types[] = {
        {"png", "image/png"},   {"jpg", "image/jpeg"},  {"jpeg", "image/jpeg"}, {"gif", "image/gif"},
        {"webp", "image/webp"}, {"bmp", "image/bmp"},   {"mp4", "video/mp4"},   {"m4v", "video/mp4"},
        {"webm", "video/webm"}, {"ogv", "video/ogg"},   {"mov", "video/quicktime"},
        {"avi", "video/x-msvideo"}, {"txt", "text/plain; charset=utf-8"}, {"pdf", "application/pdf"},
        {"zip", "application/zip"},
    };
    if (servedInline(extension) || extension == "txt")
        for (const auto &t : types)
            if (extension == t.extension)
                return t.type;
    return "application/octet-stream";
}

bool servedInline(const std::string &extension)
{
    return kindOf(extension) != Kind::Other || extension == "txt" || extension == "pdf";
}

std::optional<int64_t> parseDuration(const std::string &text)
{
    if (text.empty() || text.size() > 12)
        return std::nullopt;
    int64_t unit = 1;
    std::string digits = text;
    switch (text.back()) {
    case 's': unit = 1; digits.pop_back(); break;
    case 'm': unit = 60; digits.pop_back(); break;
    case 'h': unit = 3600; digits.pop_back(); break;
    case 'd': unit = 86400; digits.pop_back(); break;
    default: break;
    }
    if (digits.empty())
        return std::nullopt;
    int64_t value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    const int64_t seconds = value * unit;
    if (seconds <= 0 || seconds > kMaxDuration)
        return std::nullopt;
    return seconds;
}

bool isAccountName(const std::string &name)
{
    if (name.size() < 3 || name.size() > 32)
        return false;
    for (char c : name)
        if (!isLowerAlnum(lower(c)) && c != '.' && c != '-' && c != '_')
            return false;
    return true;
}

std::string cookieValue(const std::string &header, const std::string &name)
{
    size_t start = 0;
    while (start < header.size()) {
        size_t end = header.find(';', start);
        if (end == std::string::npos)
            end = header.size();
        size_t first = start;
        while (first < end && header[first] == ' ')
            ++first;
        const size_t equals = header.find('=', first);
        if (equals < end && header.compare(first, equals - first, name) == 0 && equals - first == name.size())
            return header.substr(equals + 1, end - equals - 1);
        start = end + 1;
    }
    return std::string();
}

std::string baseUrl(const std::string &publicUrl, const std::string &host, const std::string &fallback)
{
    if (!publicUrl.empty())
        return publicUrl;
    // A Host header goes into every link of the page: only a plain name or address passes.
    bool plain = !host.empty() && host.size() <= 255;
    for (char c : host)
        plain = plain && (isLowerAlnum(lower(c)) || c == '.' || c == '-' || c == ':' || c == '[' || c == ']');
    return "http://" + (plain ? host : fallback) + "/";
}

std::string htmlEscape(const std::string &text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string jsonEscape(const std::string &text)
{
    std::string out;
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out;
}

std::string byteCount(uint64_t bytes)
{
    char text[32];
    if (bytes < 1024)
        std::snprintf(text, sizeof text, "%llu bytes", static_cast<unsigned long long>(bytes));
    else if (bytes < 1024 * 1024)
        std::snprintf(text, sizeof text, "%.1f KB", bytes / 1024.0);
    else if (bytes < uint64_t(1024) * 1024 * 1024)
        std::snprintf(text, sizeof text, "%.1f MB", bytes / (1024.0 * 1024));
    else
        std::snprintf(text, sizeof text, "%.2f GB", bytes / (1024.0 * 1024 * 1024));
    return text;
}

} // namespace Names
