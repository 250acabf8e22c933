#include "serveroptions.h"

namespace {

bool parseFlag(const std::string &text, bool *value)
{
    if (text == "yes" || text == "true" || text == "1" || text == "on") {
        *value = true;
        return true;
    }
    if (text == "no" || text == "false" || text == "0" || text == "off") {
        *value = false;
        return true;
    }
    return false;
}

struct Option
{
    const char *name;        // command line, without "--"
    const char *variable;    // environment
    bool (*apply)(const std::string &, ServerOptions &);
};

const Option kOptions[] = {
    {"listen", "SNAPLARK_SERVER_LISTEN",
     [](const std::string &v, ServerOptions &o) { return parseListen(v, &o.host, &o.port); }},
    {"data", "SNAPLARK_SERVER_DATA",
     [](const std::string &v, ServerOptions &o) { o.dataFolder = v; return !v.empty(); }},
    {"max-upload", "SNAPLARK_SERVER_MAX_UPLOAD",
     [](const std::string &v, ServerOptions &o) { return parseSize(v, &o.maxUploadBytes) && o.maxUploadBytes > 0; }},
    {"max-storage", "SNAPLARK_SERVER_MAX_STORAGE",
     [](const std::string &v, ServerOptions &o) { return parseSize(v, &o.maxStorageBytes); }},
    {"anonymous-uploads", "SNAPLARK_SERVER_ANONYMOUS_UPLOADS",
     [](const std::string &v, ServerOptions &o) { return parseFlag(v, &o.anonymousUploads); }},
    {"public-url", "SNAPLARK_SERVER_PUBLIC_URL",
     [](const std::string &v, ServerOptions &o) {
         o.publicUrl = v;
         if (!o.publicUrl.empty() && o.publicUrl.back() != '/')
             o.publicUrl += '/';
         return v.rfind("http://", 0) == 0 || v.rfind("https://", 0) == 0;
     }},
};

} // namespace

bool parseSize(const std::string &text, uint64_t *bytes)
{
    if (text.empty() || text.size() > 20)
        return false;
    uint64_t unit = 1;
    std::string digits = text;
    switch (text.back()) {
    case 'k': case 'K': unit = uint64_t(1) << 10; digits.pop_back(); break;
    case 'm': case 'M': unit = uint64_t(1) << 20; digits.pop_back(); break;
    case 'g': case 'G': unit = uint64_t(1) << 30; digits.pop_back(); break;
    case 't': case 'T': unit = uint64_t(1) << 40; digits.pop_back(); break;
    default: break;
    }
    if (digits.empty() || digits.size() > 15)
        return false;
    uint64_t value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + uint64_t(c - '0');
    }
    *bytes = value * unit;
    return true;
}

bool parseListen(const std::string &text, std::string *host, int *port)
{
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 >= text.size() || text.size() - colon > 6)
        return false;
    std::string address = text.substr(0, colon);
    if (address.front() == '[') {
        if (address.back() != ']')
            return false;
        address = address.substr(1, address.size() - 2);
    } else if (address.find(':') != std::string::npos) {
        return false; // an IPv6 address needs its brackets
    }
    int value = 0;
    for (char c : text.substr(colon + 1)) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    if (address.empty() || value < 1 || value > 65535)
        return false;
    *host = address;
    *port = value;
    return true;
}

OptionsResult parseOptions(const std::vector<std::string> &arguments,
                           const std::function<const char *(const char *)> &environment)
{
    OptionsResult result;
    if (const char *data = environment("XDG_DATA_HOME"); data && *data)
        result.options.dataFolder = std::string(data) + "/snaplark-server";
    else if (const char *home = environment("HOME"); home && *home)
        result.options.dataFolder = std::string(home) + "/.local/share/snaplark-server";

    for (const Option &option : kOptions) {
        if (const char *value = environment(option.variable)) {
            if (!option.apply(value, result.options)) {
                result.error = std::string("invalid value of ") + option.variable + ": \"" + value + "\"";
                return result;
            }
        }
    }
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string &argument = arguments[i];
        if (argument == "--help" || argument == "-h") {
            result.showHelp = true;
            return result;
        }
        const Option *match = nullptr;
        std::string value;
        bool hasValue = false;
        for (const Option &option : kOptions) {
            const std::string flag = std::string("--") + option.name;
            if (argument == flag) {
                match = &option;
            } else if (argument.rfind(flag + "=", 0) == 0) {
                match = &option;
                value = argument.substr(flag.size() + 1);
                hasValue = true;
            }
            if (match)
                break;
        }
        if (!match) {
            result.error = "unknown option \"" + argument + "\"";
            return result;
        }
        if (!hasValue) {
            if (i + 1 >= arguments.size()) {
                result.error = "option \"" + argument + "\" needs a value";
                return result;
            }
            value = arguments[++i];
        }
        if (!match->apply(value, result.options)) {
            result.error = "invalid value for --" + std::string(match->name) + ": \"" + value + "\"";
            return result;
        }
    }
    if (result.options.dataFolder.empty())
        result.error = "no data folder: set --data, XDG_DATA_HOME or HOME";
    return result;
}

std::string helpText()
{
    return "Usage: snaplark-server [OPTION]...\n"
           "The Snaplark upload service: receives captures, serves their pages and keeps accounts.\n"
           "\n"
           "  --listen ADDRESS:PORT         where to listen (default 127.0.0.1:8900; [::]:8900 for IPv6)\n"
           "  --data FOLDER                 uploads, database and log (default $XDG_DATA_HOME/snaplark-server)\n"
           "  --max-upload SIZE             largest upload accepted, e.g. 500M (default 1G)\n"
           "  --max-storage SIZE            stop accepting uploads once they take this much (default: no limit)\n"
           "  --anonymous-uploads yes|no    accept uploads without an account (default yes)\n"
           "  --public-url URL              address in links when behind a proxy (default: from the Host header)\n"
           "  --help                        show this text\n"
           "\n"
           "Every option can also be set in the environment: SNAPLARK_SERVER_LISTEN, SNAPLARK_SERVER_DATA,\n"
           "SNAPLARK_SERVER_MAX_UPLOAD, SNAPLARK_SERVER_MAX_STORAGE, SNAPLARK_SERVER_ANONYMOUS_UPLOADS,\n"
           "SNAPLARK_SERVER_PUBLIC_URL; the command line wins.\n";
}
