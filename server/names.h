#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The server's name rules.  Clients name their uploads ("/<uuid>.png",
// "shot.png"), but those names only ever contribute a checked extension:
// files are stored and served under ids the server draws itself.
namespace Names {

// A fresh id: short, random, and not derived from anything the client sent.
std::string newId();
bool isId(const std::string &text);

// The extension of a client's file name, lower-cased; empty when it has none
// or when it is not a plain short extension ("png", "mp4").
std::string extensionOf(const std::string &fileName);

// The extension named by a PUT target ("/<name>.<ext>"); nullopt when the
// target is not one plain file name (folders, "..", NULs, escapes to them).
std::optional<std::string> putExtension(const std::string &decodedPath);

// What a stored file is, for the page and for the headers it is served with.
enum class Kind { Image, Video, Other };
Kind kindOf(const std::string &extension);
std::string contentTypeOf(const std::string &extension);
// Files a browser would run as a document on our origin (HTML, SVG, XML and
// everything we do not know) are only ever handed out as downloads.
bool servedInline(const std::string &extension);

// "3600", "90m", "12h", "7d": seconds; nullopt when malformed, zero or
// beyond ten years.
std::optional<int64_t> parseDuration(const std::string &text);

// Account names: 3 to 32 letters, digits, '.', '-' or '_'.
bool isAccountName(const std::string &name);

// The value of one cookie in a Cookie header; empty when absent.
std::string cookieValue(const std::string &header, const std::string &name);
// The address links are built on: the configured public address, else the
// Host the client asked for when it is a plain host[:port], else the fallback.
std::string baseUrl(const std::string &publicUrl, const std::string &host, const std::string &fallback);

// Text safe inside HTML text and double-quoted attributes.
std::string htmlEscape(const std::string &text);
// Text safe inside a JSON string.
std::string jsonEscape(const std::string &text);
// "1.4 MB"
std::string byteCount(uint64_t bytes);

} // namespace Names
