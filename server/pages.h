#pragma once

#include "metadata.h"

#include <string>
#include <vector>

// The server's HTML, built from plain values; every value that came from
// outside is escaped here.
namespace Pages {

extern const char *const kStyleSheet;

struct UploadView
{
    Upload upload;
    std::string pageUrl;    // absolute
    std::string directUrl;  // absolute
    std::string deleteUrl;  // absolute; empty unless the viewer owns it
};

std::string uploadPage(const UploadView &view);
std::string loginPage(const std::string &csrf, bool desktop, const std::string &message);
// The page the program's login window reads: the token in "AuthId", the name in "Username".
std::string signedInPage(const std::string &token, const std::string &name);
std::string historyPage(const Account &account, const std::vector<UploadView> &uploads, const Usage &usage,
                        const std::string &csrf);
std::string deletePage(const std::string &id, const std::string &key);
std::string bannerPage(const Account *account, const Usage &usage);
std::string manualsPage(const std::string &base);
std::string homePage(const std::string &base);
std::string messagePage(const std::string &title, const std::string &text);

// The custom-uploader description for ShareX-style clients.
std::string customUploader(const std::string &base, const std::string &token);

} // namespace Pages
