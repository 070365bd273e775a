// The web lookup's address; see web_lookup_address.h.
#include "app/autostart/web_lookup_address.h"

#include <cstdint>

namespace qly {

namespace {

bool StartsWithNoCase(std::string_view text, std::string_view head) {
    if (text.size() < head.size())
        return false;
    for (size_t i = 0; i < head.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != head[i])
            return false;
    }
    return true;
}

bool IsAlnum(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// A DNS name or an IPv4 address, with an optional port: nothing that could end the
// authority and begin a path, a query or a user part.
bool IsPlainHost(std::string_view host) {
    const size_t colon = host.find(':');
    std::string_view name = host.substr(0, colon);
    if (name.empty() || name.size() > 253 || name.front() == '.' || name.front() == '-')
        return false;
    for (char c : name)
        if (!IsAlnum(c) && c != '-' && c != '.')
            return false;
    if (colon == std::string_view::npos)
        return true;
    const std::string_view port = host.substr(colon + 1);
    if (port.empty() || port.size() > 5)
        return false;
    uint32_t value = 0;
    for (char c : port) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    return value >= 1 && value <= 65535;
}

void AppendUtf8(std::string* out, uint32_t code) {
    const auto byte = [out](uint32_t b) { out->push_back(static_cast<char>(b)); };
    if (code < 0x80) {
        byte(code);
    } else if (code < 0x800) {
        byte(0xC0 | (code >> 6));
        byte(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        byte(0xE0 | (code >> 12));
        byte(0x80 | ((code >> 6) & 0x3F));
        byte(0x80 | (code & 0x3F));
    } else {
        byte(0xF0 | (code >> 18));
        byte(0x80 | ((code >> 12) & 0x3F));
        byte(0x80 | ((code >> 6) & 0x3F));
        byte(0x80 | (code & 0x3F));
    }
}

std::string Utf8Of(std::u16string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const uint32_t unit = text[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            AppendUtf8(&out, 0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            AppendUtf8(&out, 0xFFFD);
        } else {
            AppendUtf8(&out, unit);
        }
    }
    return out;
}

}  // namespace

std::string WebLookupOrigin(std::string_view stored_host) {
    std::string scheme = "http://";
    std::string_view host = stored_host;
    if (StartsWithNoCase(host, "https://")) {
        scheme = "https://";
        host.remove_prefix(8);
    } else if (StartsWithNoCase(host, "http://")) {
        host.remove_prefix(7);
    }
    if (!host.empty() && host.back() == '/')
        host.remove_suffix(1);
    if (!IsPlainHost(host))
        return std::string("http://") + kWebLookupDefaultHost;
    return scheme + std::string(host);
}

std::string PercentEncodeUtf8(std::u16string_view text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (char c : Utf8Of(text)) {
        if (IsAlnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
            out += c;
        } else {
            const auto b = static_cast<unsigned char>(c);
            out += '%';
            out += kHex[b >> 4];
            out += kHex[b & 0xF];
        }
    }
    return out;
}

std::string WebLookupAddress(std::string_view stored_host,
                             std::string_view name,
                             const AnsiDecoder& decode) {
    return WebLookupOrigin(stored_host) + kWebLookupPath + PercentEncodeUtf8(decode(name)) +
           kWebLookupQueryTail;
}

}  // namespace qly
