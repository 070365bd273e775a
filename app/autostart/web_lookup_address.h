// The address of the web page that tells what an autostart program is. The program's name
// goes into the query percent-encoded as UTF-8, so that no name ("A&B.exe", "#1.exe",
// "100%.exe", "My Tool.exe", "Café.exe") can change the query or add parameters to it. The
// service's host is the user's setting WebLookupHost in the settings key; a stored value
// that is not a plain host name gives the default. Plain C++, tested natively.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace qly {

// The setting, and the service whose startup list answers the query below.
inline constexpr char kWebLookupHostValue[] = "WebLookupHost";
inline constexpr char kWebLookupDefaultHost[] = "www.sysinfo.org";
// Path and query of the lookup; the name goes between them.
inline constexpr char kWebLookupPath[] = "/startuplist.php?filter=";
inline constexpr char kWebLookupQueryTail[] = "&count=&type=";

// The 8-bit text of the program's code page as UTF-16.
using AnsiDecoder = std::function<std::u16string(std::string_view ansi)>;

// "scheme://host[:port]" from the stored setting: a host name (letters, digits, "-", ".")
// with an optional port, optionally after "http://" or "https://" and before one "/".
// Anything else, an empty value included, gives "http://" and the default host.
std::string WebLookupOrigin(std::string_view stored_host);

// UTF-16 (surrogate pairs joined, a lone surrogate as U+FFFD) as UTF-8, every byte outside
// the unreserved set (letters, digits, "-", ".", "_", "~") as "%XX".
std::string PercentEncodeUtf8(std::u16string_view text);

// The lookup page's address for the 8-bit `name`.
std::string WebLookupAddress(std::string_view stored_host,
                             std::string_view name,
                             const AnsiDecoder& decode);

}  // namespace qly
