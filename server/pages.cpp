#include "pages.h"

#include "names.h"

#include <ctime>

namespace Pages {

using Names::htmlEscape;

const char *const kStyleSheet = R"css(body{margin:0;font:15px/1.5 system-ui,sans-serif;color:#222;background:#f4f4f2}
header{background:#790000;color:#fff;padding:.6em 1.2em}header a{color:#fff;text-decoration:none;margin-right:1em}
header .brand{font-weight:700}main{max-width:960px;margin:1.5em auto;padding:0 1em}
.shot{background:#fff;border:1px solid #ddd;padding:.6em;text-align:center}.shot img,.shot video{max-width:100%;height:auto}
label{display:block;margin:.8em 0 .2em;font-weight:600}input[type=text],input[type=password],textarea{width:100%;box-sizing:border-box;padding:.4em;font:13px monospace}
button{background:#790000;color:#fff;border:0;padding:.5em 1.2em;border-radius:3px;cursor:pointer}button.quiet{background:#777}
.forms{display:flex;flex-wrap:wrap}.forms form{flex:1;min-width:240px;margin:0 1em 1em 0;background:#fff;padding:1em;border:1px solid #ddd}
.error{color:#790000;font-weight:600}table{width:100%;border-collapse:collapse;background:#fff}td,th{padding:.4em;border-bottom:1px solid #eee;text-align:left}
td img{max-width:120px;max-height:80px}.banner{margin:0;padding:6px 10px;font-size:13px;color:#fff;background:#790000}
.banner a{color:#fff}
)css";

namespace {

std::string layout(const std::string &title, const std::string &body, const std::string &head = std::string())
{
    return "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
           "<title>" + htmlEscape(title) + "</title><link rel=\"stylesheet\" href=\"/snaplark.css\">" + head +
           "</head><body><header><a class=\"brand\" href=\"/\">Snaplark</a><a href=\"/my-snaplarks\">My snaplarks</a>"
           "<a href=\"/category/manuals\">Help</a></header><main>" + body + "</main></body></html>\n";
}

std::string date(int64_t seconds)
{
    const time_t t = time_t(seconds);
    struct tm parts;
    gmtime_r(&t, &parts);
    char text[32];
    strftime(text, sizeof text, "%Y-%m-%d %H:%M UTC", &parts);
    return text;
}

std::string media(const UploadView &view, bool thumbnail)
{
    const std::string src = htmlEscape(view.directUrl);
    switch (Names::kindOf(view.upload.extension)) {
    case Names::Kind::Image:
        return "<img src=\"" + src + "\" alt=\"Screen capture from Snaplark\"" + (thumbnail ? " loading=\"lazy\"" : "") + ">";
    case Names::Kind::Video:
        return thumbnail ? std::string("video") : "<video controls preload=\"metadata\" src=\"" + src + "\"></video>";
    case Names::Kind::Other:
        break;
    }
    return thumbnail ? htmlEscape(view.upload.extension) : "<p><a href=\"" + src + "\" download>Download the file</a> (" +
                                                              Names::byteCount(view.upload.size) + ")</p>";
}

std::string csrfField(const std::string &csrf)
{
    return "<input type=\"hidden\" name=\"csrf\" value=\"" + htmlEscape(csrf) + "\">";
}

} // namespace

std::string uploadPage(const UploadView &view)
{
    const std::string page = htmlEscape(view.pageUrl);
    const std::string direct = htmlEscape(view.directUrl);
    const Names::Kind kind = Names::kindOf(view.upload.extension);
    std::string head = "<meta property=\"og:site_name\" content=\"Snaplark\">"
                       "<meta property=\"og:title\" content=\"Screen capture from Snaplark\">"
                       "<meta property=\"og:url\" content=\"" + page + "\">";
    if (kind == Names::Kind::Image) {
        head += "<meta property=\"og:type\" content=\"website\"><meta property=\"og:image\" content=\"" + direct + "\">"
                "<meta name=\"twitter:card\" content=\"summary_large_image\">"
                "<meta name=\"twitter:image\" content=\"" + direct + "\">";
    } else if (kind == Names::Kind::Video) {
        head += "<meta property=\"og:type\" content=\"video.other\"><meta property=\"og:video\" content=\"" + direct + "\">"
                "<meta property=\"og:video:type\" content=\"" + htmlEscape(Names::contentTypeOf(view.upload.extension)) + "\">";
    } else {
        head += "<meta property=\"og:type\" content=\"website\">";
    }
    // The same two forms the program puts on the clipboard.
    const std::string site = "<a href='" + view.pageUrl + "'><img src='" + view.directUrl +
                             "' alt='Screen capture from Snaplark'/></a>";
    const std::string forum = "[URL=" + view.pageUrl + "][IMG]" + view.directUrl + "[/IMG][/URL]";
    std::string body = "<div class=\"shot\">" + media(view, false) + "</div>"
                       "<label for=\"direct\">Direct link</label><input id=\"direct\" type=\"text\" readonly value=\"" + direct + "\">"
                       "<label for=\"site\">Embed on a site</label><input id=\"site\" type=\"text\" readonly value=\"" + htmlEscape(site) + "\">"
                       "<label for=\"forum\">Embed on a forum</label><input id=\"forum\" type=\"text\" readonly value=\"" + htmlEscape(forum) + "\">"
                       "<p>Uploaded " + date(view.upload.created) +
                       (view.upload.expires ? ", gone after " + date(view.upload.expires) : std::string()) + ".</p>";
    if (!view.deleteUrl.empty())
        body += "<p>Only you see this: <a class=\"delete\" href=\"" + htmlEscape(view.deleteUrl) + "\">deletion link</a>.</p>";
    return layout("Snaplark capture", body, head);
}

std::string loginPage(const std::string &csrf, bool desktop, const std::string &message)
{
    const std::string action = desktop ? "/netodb/plugin/auth/overlay?client=desktop" : "/netodb/plugin/auth/overlay";
    std::string body = "<h1>Snaplark account</h1>";
    if (!message.empty())
        body += "<p class=\"error\">" + htmlEscape(message) + "</p>";
    body += "<div class=\"forms\">";
    for (const char *kind : {"signin", "signup"}) {
        const bool signIn = std::string(kind) == "signin";
        body += "<form method=\"post\" action=\"" + htmlEscape(action) + "\" id=\"" + kind + "\">" + csrfField(csrf) +
                "<input type=\"hidden\" name=\"action\" value=\"" + kind + "\"><h2>" +
                (signIn ? "Sign in" : "New account") + "</h2>"
                "<label>Name<input type=\"text\" name=\"name\" autocomplete=\"username\" required></label>"
                "<label>Password<input type=\"password\" name=\"password\" autocomplete=\"" +
                (signIn ? "current-password" : "new-password") + "\" required></label><p><button type=\"submit\">" +
                (signIn ? "Sign in" : "Create account") + "</button></p></form>";
    }
    body += "</div>";
    return layout("Snaplark sign in", body);
}

std::string signedInPage(const std::string &token, const std::string &name)
{
    const std::string head = "<meta name=\"AuthId\" content=\"" + htmlEscape(token) + "\">"
                             "<meta name=\"Username\" content=\"" + htmlEscape(name) + "\">";
    return layout("Signed in", "<p>Signed in as " + htmlEscape(name) + ".</p>", head);
}

std::string historyPage(const Account &account, const std::vector<UploadView> &uploads, const Usage &usage,
                        const std::string &csrf)
{
    std::string body = "<h1>" + htmlEscape(account.name) + "'s snaplarks</h1><p>" + std::to_string(usage.uploads) +
                       " uploads, " + Names::byteCount(usage.bytes) + ".</p>";
    body += "<form method=\"post\" action=\"/my-snaplarks/expiry\">" + csrfField(csrf) +
            "<label for=\"expiry\">Keep new uploads</label><select id=\"expiry\" name=\"expiry\">";
    static const struct { int64_t seconds; const char *label; } choices[] = {
        {0, "forever"}, {3600, "one hour"}, {86400, "one day"}, {7 * 86400, "one week"}, {30 * 86400, "30 days"}};
    for (const auto &choice : choices)
        body += "<option value=\"" + std::to_string(choice.seconds) + "\"" +
                (choice.seconds == account.defaultExpirySeconds ? " selected" : "") + ">" + choice.label + "</option>";
    body += "</select><p><button type=\"submit\">Save</button></p></form>";
    body += "<p><a href=\"/my-snaplarks/uploader.sxcu\">Custom uploader file</a> for ShareX-style clients "
            "(it holds a key to your account: keep it to yourself).</p>";
    if (uploads.empty()) {
        body += "<p>Nothing uploaded yet.</p>";
    } else {
        body += "<table><tr><th></th><th>Uploaded</th><th>Size</th><th></th></tr>";
        for (const UploadView &view : uploads) {
            body += "<tr class=\"upload\" id=\"" + htmlEscape(view.upload.id) + "\"><td><a href=\"" +
                    htmlEscape(view.pageUrl) + "\">" + media(view, true) + "</a></td><td>" + date(view.upload.created) +
                    "</td><td>" + Names::byteCount(view.upload.size) + "</td><td>"
                    "<form method=\"post\" action=\"/my-snaplarks/delete\">" + csrfField(csrf) +
                    "<input type=\"hidden\" name=\"id\" value=\"" + htmlEscape(view.upload.id) +
                    "\"><button type=\"submit\" class=\"quiet\">Delete</button></form></td></tr>";
        }
        body += "</table>";
    }
    body += "<form method=\"post\" action=\"/logout\">" + csrfField(csrf) + "<p><button class=\"quiet\">Sign out</button></p></form>";
    return layout("My snaplarks", body);
}

std::string deletePage(const std::string &id, const std::string &key)
{
    // A GET never deletes: chat programs fetch every link they are shown.
    return layout("Delete upload", "<h1>Delete this upload?</h1><form method=\"post\" action=\"/delete/" + htmlEscape(id) +
                                       "\"><input type=\"hidden\" name=\"key\" value=\"" + htmlEscape(key) +
                                       "\"><button type=\"submit\">Delete for good</button></form>");
}

std::string bannerPage(const Account *account, const Usage &usage)
{
    std::string text = account ? "Hi " + htmlEscape(account->name) + ": " + std::to_string(usage.uploads) +
                                     " uploads, " + Names::byteCount(usage.bytes) + ". <a href=\"/my-snaplarks\">My snaplarks</a>"
                               : std::string("Welcome to Snaplark. <a href=\"/category/manuals\">How it works</a>");
    return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><link rel=\"stylesheet\" href=\"/snaplark.css\">"
           "</head><body><p class=\"banner\">" + text + "</p></body></html>\n";
}

std::string manualsPage(const std::string &base)
{
    const std::string b = htmlEscape(base);
    return layout("Snaplark help",
                  "<h1>Using Snaplark</h1>"
                  "<p>Start a capture, pick a region and choose Upload: the page of your capture opens and its link "
                  "is on the clipboard. Sign in from the capture window's user label to keep a history.</p>"
                  "<h2>From a terminal</h2><pre>curl -T shot.png " + b + "</pre><p>answers the page link. "
                  "Add <code>-H 'Expires-In: 1d'</code> to have the file removed after a day (also <code>90m</code>, "
                  "<code>12h</code> or seconds).</p>"
                  "<h2>Other clients</h2><p>Your <a href=\"/my-snaplarks\">history page</a> offers a custom-uploader "
                  "file for ShareX-style clients.</p>"
                  "<h2>Deleting</h2><p>Every upload answers a deletion link (the <code>Delete-Url</code> header); "
                  "signed-in owners find it on the upload's page and a Delete button in their history.</p>");
}

std::string homePage(const std::string &base)
{
    return layout("Snaplark", "<h1>Snaplark</h1><p>This server keeps screen captures uploaded by Snaplark and "
                              "other clients.</p><p><a href=\"/netodb/plugin/auth/overlay\">Sign in or create an account</a>"
                              " &middot; <a href=\"/category/manuals\">Help</a></p><pre>curl -T shot.png " +
                                  htmlEscape(base) + "</pre>");
}

std::string messagePage(const std::string &title, const std::string &text)
{
    return layout(title, "<h1>" + htmlEscape(title) + "</h1><p>" + htmlEscape(text) + "</p>");
}

std::string customUploader(const std::string &base, const std::string &token)
{
    using Names::jsonEscape;
    return "{\n"
           "  \"Version\": \"14.0.0\",\n"
           "  \"Name\": \"Snaplark (" + jsonEscape(base) + ")\",\n"
           "  \"DestinationType\": \"ImageUploader, FileUploader\",\n"
           "  \"RequestMethod\": \"PUT\",\n"
           "  \"RequestURL\": \"" + jsonEscape(base) + "upload.{filename}\",\n"
           "  \"Headers\": {\n    \"Cookie\": \"snaplark-auth-id=" + jsonEscape(token) + "\"\n  },\n"
           "  \"Body\": \"Binary\",\n"
           "  \"URL\": \"{response}\",\n"
           "  \"DeletionURL\": \"{header:Delete-Url}\"\n"
           "}\n";
}

} // namespace Pages
