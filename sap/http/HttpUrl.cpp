// URLs as curl's URL API takes them apart and puts them together.
#include "sap/http/HttpClient.h"

#include <cstdlib>

#include "sap/http/HttpTransfer.h"

namespace orvex::sap {

namespace {

// A URL handle of curl's URL API, freed on leaving.
class UrlHandle {
public:
    UrlHandle() : handle_(curl_url()) {}
    ~UrlHandle() { curl_url_cleanup(handle_); }
    UrlHandle(const UrlHandle&) = delete;
    UrlHandle& operator=(const UrlHandle&) = delete;
    CURLU* get() const { return handle_; }
    // The part, or "" when the URL has none.
    std::string part(CURLUPart which, unsigned flags = 0) const {
        char* out = nullptr;
        if (curl_url_get(handle_, which, &out, flags) != CURLUE_OK) return {};
        std::string text = out ? out : "";
        curl_free(out);
        return text;
    }

private:
    CURLU* handle_;
};

// An IPv6 address in the brackets a URL puts it in; other hosts as they are.
std::string bracketed(const std::string& host) {
    return host.find(':') != std::string::npos ? "[" + host + "]" : host;
}

}  // namespace

Result<Url> Url::parse(const std::string& text) {
    initialiseCurl();
    UrlHandle handle;
    if (!handle.get()) return failure(FailureKind::Other, "no memory for a URL");
    if (const CURLUcode code = curl_url_set(handle.get(), CURLUPART_URL, text.c_str(), 0); code != CURLUE_OK)
        return failure(FailureKind::Refused, "\"" + text + "\" is no usable URL", curl_url_strerror(code));
    const std::string scheme = handle.part(CURLUPART_SCHEME);
    if (scheme != "http" && scheme != "https")
        return failure(FailureKind::Refused, "\"" + text + "\" is no http or https address");
    Url url;
    url.https_ = scheme == "https";
    url.host_ = handle.part(CURLUPART_HOST);  // an IPv6 address comes in brackets
    if (url.host_.size() > 2 && url.host_.front() == '[') url.host_ = url.host_.substr(1, url.host_.size() - 2);
    url.portGiven_ = !handle.part(CURLUPART_PORT).empty();
    url.port_ = std::atoi(handle.part(CURLUPART_PORT, CURLU_DEFAULT_PORT).c_str());
    url.path_ = handle.part(CURLUPART_PATH);
    url.query_ = handle.part(CURLUPART_QUERY);
    url.userInfo_ = !handle.part(CURLUPART_USER).empty() || !handle.part(CURLUPART_PASSWORD).empty();
    url.fragment_ = !handle.part(CURLUPART_FRAGMENT).empty();
    if (url.host_.empty()) return failure(FailureKind::Refused, "\"" + text + "\" names no host");
    return url;
}

std::string Url::text() const {
    initialiseCurl();
    UrlHandle handle;
    CURLU* u = handle.get();
    curl_url_set(u, CURLUPART_SCHEME, https_ ? "https" : "http", 0);
    curl_url_set(u, CURLUPART_HOST, bracketed(host_).c_str(), 0);
    curl_url_set(u, CURLUPART_PORT, std::to_string(port_).c_str(), 0);
    curl_url_set(u, CURLUPART_PATH, path_.empty() ? "/" : path_.c_str(), 0);
    if (!query_.empty()) curl_url_set(u, CURLUPART_QUERY, query_.c_str(), 0);
    return handle.part(CURLUPART_URL, CURLU_NO_DEFAULT_PORT);
}

std::string Url::authority() const { return bracketed(host_) + ":" + std::to_string(port_); }

Url Url::with(std::string path, const std::vector<std::pair<std::string, std::string>>& query) const {
    Url url = *this;
    url.path_ = std::move(path);
    url.query_.clear();
    for (const auto& [name, value] : query)
        url.query_ += (url.query_.empty() ? "" : "&") + escaped(name) + "=" + escaped(value);
    url.fragment_ = false;
    return url;
}

Url Url::make(bool https, std::string host, int port) {
    Url url;
    url.https_ = https;
    url.host_ = std::move(host);
    url.port_ = port;
    url.portGiven_ = true;
    return url;
}

std::string escaped(const std::string& text) {
    initialiseCurl();
    char* out = curl_easy_escape(nullptr, text.data(), static_cast<int>(text.size()));
    std::string result = out ? out : "";
    curl_free(out);
    return result;
}

}  // namespace orvex::sap
