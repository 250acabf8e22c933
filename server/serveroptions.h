#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct ServerOptions
{
    std::string host = "127.0.0.1";
    int port = 8900;
    std::string dataFolder;              // default: $XDG_DATA_HOME/snaplark-server
    uint64_t maxUploadBytes = uint64_t(1) << 30;
    uint64_t maxStorageBytes = 0;        // 0: as much as the disk holds
    bool anonymousUploads = true;        // the program uploads before anyone logs in
    std::string publicUrl;               // e.g. https://shots.example.org/; default: from the Host header
};

struct OptionsResult
{
    ServerOptions options;
    bool showHelp = false;
    std::string error; // not empty: the command line or environment was wrong
};

// Environment first, then the command line over it.  `environment` returns
// the value of a variable, or null when it is not set.
OptionsResult parseOptions(const std::vector<std::string> &arguments,
                           const std::function<const char *(const char *)> &environment);
std::string helpText();

// "100M", "2G", "512k", "1048576": bytes; false when malformed.
bool parseSize(const std::string &text, uint64_t *bytes);
// "127.0.0.1:8900", "[::1]:80", "0.0.0.0:8900".
bool parseListen(const std::string &text, std::string *host, int *port);
