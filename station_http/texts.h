// Every text of the station's HTTP interface, in one place: its command-line options as the front
// ends (qvx5120-load --station, qvx5120-station) offer them, the lines they write about it, the
// reasons its answers give, and the words of the board in the browser. Functions compose the texts
// that carry a value. Built on every platform, so that the Windows programs can say that the
// interface is not there yet.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qvx::station_http::text {

// --- The command line -----------------------------------------------------------------------

// The options' lines for a front end's --help, each ending in a line break.
std::string OptionsUsage();

// What the Windows programs say to any of the options.
inline constexpr const char* kNotOnWindows =
    "the HTTP interface (--http) is not available on Windows yet; it runs on Linux";

// "--http: missing [ADDRESS:]PORT"
std::string Missing(std::string_view option, std::string_view what);
std::string Twice(std::string_view option);         // "--http is given twice"
std::string GoesWithHttp(std::string_view option);  // "--http-token goes with --http"
inline constexpr const char* kListenWhat = "[ADDRESS:]PORT";
inline constexpr const char* kFileWhat = "file";
inline constexpr const char* kNameWhat = "host name";
inline constexpr const char* kCertNeedsKey = "--http-cert and --http-key go together";
// "--http: \"80a\" is not [ADDRESS:]PORT: ..."
std::string NotAListenAddress(std::string_view typed, std::string_view why);
inline constexpr const char* kPortRange = "the port is a number from 0 to 65535";
inline constexpr const char* kBadAddress =
    "the address is an IPv4 address (127.0.0.1) or an IPv6 address in brackets ([::1])";
inline constexpr const char* kBracketsForV6 = "an IPv6 address goes in brackets: [::1]:8080";
std::string NotAHostName(std::string_view typed);  // --http-host

// The token file.
std::string TokenUnreadable(std::string_view path, std::string_view why);
std::string TokenNotAFile(std::string_view path);
std::string TokenNotOwned(std::string_view path);
std::string TokenNotPrivate(std::string_view path, unsigned mode);
std::string TokenEmpty(std::string_view path);
std::string TokenTooShort(std::string_view path, size_t least);
std::string TokenTooLong(std::string_view path, size_t most);
std::string TokenBadCharacters(std::string_view path);

// The certificate and its key.
std::string KeyNotPrivate(std::string_view path, unsigned mode);
std::string TlsRefused(std::string_view cert, std::string_view key, std::string_view why);
std::string CertificateUnreadable(std::string_view why);  // "the certificate cannot be read (...)"
std::string KeyUnreadable(std::string_view why);
inline constexpr const char* kKeyNotTheCertificates = "the key is not the certificate's";

// --- What a front end writes about the interface ---------------------------------------------

std::string ListenFailed(std::string_view address, std::string_view why);
// "HTTP interface on http://127.0.0.1:8080/ (control with the token)"
std::string Serving(std::string_view url, std::string_view control);
inline constexpr const char* kControlWithToken = "control with the token";
inline constexpr const char* kReadOnlyNoToken = "read-only: no --http-token";
inline constexpr const char* kReadOnlyNoTls =
    "read-only: control from another machine needs --http-cert and --http-key";

// --- The reasons of the answers (the "error" of their JSON) ------------------------------------

inline constexpr const char* kNotFound = "there is nothing at this path";
// "the station keeps its run's last 100000 record lines; the older ones are in its record file"
std::string RecordsGone(size_t kept);
std::string MethodNotAllowed(std::string_view method, std::string_view allowed);
inline constexpr const char* kNoHost = "the request has no Host header";
inline constexpr const char* kWrongHost =
    "the Host header names neither this station's address nor a name given with --http-host";
inline constexpr const char* kControlOff =
    "control is off: the station was started without --http-token";
inline constexpr const char* kControlNeedsTls =
    "control is off on this listener: it is not on loopback and serves no HTTPS "
    "(--http-cert, --http-key)";
inline constexpr const char* kTokenMissing =
    "control needs the station's token: Authorization: Bearer TOKEN";
inline constexpr const char* kTokenWrong = "the token is not this station's";
inline constexpr const char* kMalformed = "the request is not well-formed HTTP";
inline constexpr const char* kHeadTooLarge = "the request's line and headers are too large";
inline constexpr const char* kTooSlow = "the request did not arrive in time";
inline constexpr const char* kNoRanges = "this station serves whole answers only, not ranges";
std::string BodyTooLarge(size_t most);  // "the body is larger than 4096 bytes"
inline constexpr const char* kNoBody = "this request takes no body";
inline constexpr const char* kNeedsJson = "the body must be JSON (Content-Type: application/json)";
std::string NotJson(std::string_view why);  // "the body is not valid JSON: ..."
inline constexpr const char* kLabelObject = "the body must be a JSON object with a \"label\"";
inline constexpr const char* kLabelNotText = "\"label\" must be text";
inline constexpr const char* kLabelEmpty = "\"label\" is empty";
std::string LabelTooLong(size_t most);
inline constexpr const char* kLabelControlCharacters =
    "\"label\" holds control characters (tabs, line breaks)";
std::string UnknownParameter(std::string_view name);  // "unknown parameter \"x\""
inline constexpr const char* kParameterTwice = "a parameter is given twice";
inline constexpr const char* kBadAfter = "\"after\" is a whole number from 0 up";
inline constexpr const char* kBadCut = "\"cut\" is 1 or 0";
inline constexpr const char* kTooManyStreams =
    "this station serves no more event streams at the moment; try again later";
inline constexpr const char* kBusy = "this station is busy; try again later";
inline constexpr const char* kInternal = "the station could not answer this request";

// The reasons a stream starts afresh (the "reason" of a reset event).
inline constexpr const char* kResetOtherRun = "the last event seen is of another run";
inline constexpr const char* kResetTooOld = "the events after the last one seen are no longer kept";
inline constexpr const char* kResetUnknown = "the last event id is not one of this station's";

// --- The board in the browser (handed to the page as one JSON object) -------------------------

struct BoardText {
  const char* name;
  const char* text;
};
// The page's texts by name; "{name}" marks where a value goes.
const std::vector<BoardText>& BoardTexts();

}  // namespace qvx::station_http::text
