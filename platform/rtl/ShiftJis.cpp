#include "platform/rtl/ShiftJis.h"

#include <cerrno>
#include <iconv.h>
#include <stdexcept>

namespace {

class TIconv {
public:
    TIconv(const char* To, const char* From) : Handle(iconv_open(To, From)) {
        if (Handle == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error(std::string("iconv cannot convert from ") + From + " to " +
                                     To);
    }
    ~TIconv() { iconv_close(Handle); }
    TIconv(const TIconv&) = delete;
    TIconv& operator=(const TIconv&) = delete;

    // Converts In, calling OnBad(Out) and skipping Skip(In) bytes wherever a sequence is
    // invalid or cut short.
    template <class Bad> std::string Convert(std::string_view In, Bad&& OnBad) {
        std::string out;
        char buffer[256];
        const char* inPtr = In.data();
        std::size_t inLeft = In.size();
        while (inLeft > 0) {
            char* outPtr = buffer;
            std::size_t outLeft = sizeof buffer;
            const std::size_t r =
                iconv(Handle, const_cast<char**>(&inPtr), &inLeft, &outPtr, &outLeft);
            out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
            if (r != static_cast<std::size_t>(-1))
                continue;
            if (errno == E2BIG)
                continue;
            // EILSEQ or EINVAL: one bad byte (or a whole UTF-8 character) is replaced and
            // the conversion goes on from the next.
            const std::size_t skip = OnBad(out, std::string_view(inPtr, inLeft));
            inPtr += skip;
            inLeft -= skip;
            iconv(Handle, nullptr, nullptr, nullptr, nullptr);
        }
        return out;
    }

private:
    iconv_t Handle;
};

std::size_t Utf8SequenceLength(std::string_view Rest) {
    const auto lead = static_cast<unsigned char>(Rest[0]);
    std::size_t n = 1;
    if (lead >= 0xF0)
        n = 4;
    else if (lead >= 0xE0)
        n = 3;
    else if (lead >= 0xC0)
        n = 2;
    std::size_t i = 1;
    while (i < n && i < Rest.size() && (static_cast<unsigned char>(Rest[i]) & 0xC0) == 0x80)
        ++i;
    return i;
}

bool SingleByte(unsigned char B) {
    return B <= 0x7F || (B >= 0xA1 && B <= 0xDF);
}

bool LeadByte(unsigned char B) {
    return (B >= 0x81 && B <= 0x9F) || (B >= 0xE0 && B <= 0xFC);
}

bool TrailByte(unsigned char B) {
    return (B >= 0x40 && B <= 0x7E) || (B >= 0x80 && B <= 0xFC);
}

} // namespace

std::string Utf8ToShiftJis(std::string_view Utf8) {
    TIconv conv("CP932", "UTF-8");
    return conv.Convert(Utf8, [](std::string& Out, std::string_view Rest) {
        Out += '?';
        return Utf8SequenceLength(Rest);
    });
}

std::string ShiftJisToUtf8(std::string_view ShiftJis) {
    TIconv conv("UTF-8", "CP932");
    return conv.Convert(ShiftJis, [](std::string& Out, std::string_view) {
        Out += "\xEF\xBF\xBD";
        return std::size_t{1};
    });
}

bool ValidShiftJis(std::string_view Bytes) {
    for (std::size_t i = 0; i < Bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(Bytes[i]);
        if (SingleByte(b))
            continue;
        if (!LeadByte(b) || i + 1 == Bytes.size() ||
            !TrailByte(static_cast<unsigned char>(Bytes[i + 1])))
            return false;
        ++i;
    }
    return true;
}
