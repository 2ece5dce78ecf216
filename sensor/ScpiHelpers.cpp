#include "ScpiHelpers.h"

#include "MemoryAdvice.h"

#include "Tamrix.h"

#include <boost/algorithm/string/classification.hpp>
#include <boost/algorithm/string/split.hpp>
#include <boost/algorithm/string/trim.hpp>
#include <boost/lexical_cast/try_lexical_convert.hpp>
#include <boost/xpressive/xpressive_static.hpp>

#include <algorithm>
#include <limits>
#include <locale>
#include <new>
#include <vector>

namespace
{

// Text replies come in one read; a longer one is an error of that read.
constexpr ViUInt32 replyLimit = 4096;

ViStatus Write(const VisaFunctions& visa, ViSession session, const std::string& message)
{
    if (message.size() > std::numeric_limits<ViUInt32>::max())
        return VI_ERROR_INV_SIZE;
    ViUInt32 written = 0;
    return visa.viWrite(session, reinterpret_cast<ViConstBuf>(message.data()), static_cast<ViUInt32>(message.size()),
                        &written);
}

// Reads up to `size` bytes into `buffer` and cuts it to what came.
ViStatus Read(const VisaFunctions& visa, ViSession session, std::string& buffer, std::size_t size)
{
    tamrix_memory::ResizeForWriting(buffer, size);
    ViUInt32 count = 0;
    const ViStatus status =
        visa.viRead(session, reinterpret_cast<ViBuf>(buffer.data()), static_cast<ViUInt32>(size), &count);
    buffer.resize(std::min<std::size_t>(count, size));
    return status;
}

// One piece of a block reply of exactly `size` bytes. The message must go
// on behind it, so a read that stops early (message end, termination
// character) is a reply in the wrong format, not a success.
ViStatus ReadPiece(const VisaFunctions& visa, ViSession session, std::string& piece, std::size_t size)
{
    const ViStatus status = Read(visa, session, piece, size);
    if (status < VI_SUCCESS)
        return status;
    return status == VI_SUCCESS_MAX_CNT && piece.size() == size ? VI_SUCCESS : VI_ERROR_INV_FMT;
}

ViStatus QueryReply(const VisaFunctions& visa, ViSession session, const std::string& query, std::string& reply)
{
    const ViStatus status = Write(visa, session, query);
    return status != VI_SUCCESS ? status : Read(visa, session, reply, replyLimit);
}

void StripQuotesAndLineFeeds(std::string& text)
{
    boost::algorithm::trim_if(text, boost::algorithm::is_any_of("\"\n"));
}

bool ParseDecimal(const std::string& digits, std::size_t& value)
{
    if (digits.empty() || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    value = 0;
    for (const char c : digits)
        value = value * 10 + static_cast<std::size_t>(c - '0');
    return true;
}

// No helper lets an exception out: the workers that call them have nobody to
// catch it.
template <typename Body>
ViStatus Guarded(Body body) noexcept
{
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return VI_ERROR_ALLOC;
    } catch (...) {
        return VI_ERROR_SYSTEM_ERROR;
    }
}

} // namespace

ViStatus VisaQueryBlock(const VisaFunctions& visa, ViSession session, std::string command, std::string& block,
                        std::string* fault)
{
    std::string what;
    const ViStatus result = Guarded([&]() -> ViStatus {
        command += '\n';
        ViStatus status = Write(visa, session, command);
        if (status != VI_SUCCESS)
            return status;
        const auto malformed = [&](std::string text) {
            what = std::move(text);
            return VI_ERROR_INV_FMT;
        };
        std::string piece;
        status = ReadPiece(visa, session, piece, 1);
        if (status != VI_SUCCESS && status != VI_ERROR_INV_FMT)
            return status;
        if (piece != "#")
            return malformed(piece.empty() ? "the answer is empty" : "it does not begin with \"#\"");
        if (status != VI_SUCCESS)
            return malformed("it ends after the \"#\"");
        if ((status = ReadPiece(visa, session, piece, 1)) != VI_SUCCESS)
            return status == VI_ERROR_INV_FMT ? malformed("it ends after the \"#\"") : status;
        std::size_t digits = 0;
        if (!ParseDecimal(piece, digits) || digits == 0)
            return malformed("the digit count after \"#\" is not a digit from 1 to 9");
        if ((status = ReadPiece(visa, session, piece, digits)) != VI_SUCCESS)
            return status == VI_ERROR_INV_FMT ? malformed("its length is cut short") : status;
        std::size_t length = 0;
        if (!ParseDecimal(piece, length))
            return malformed("its length \"" + piece + "\" is not a number");
        // Checked before anything of that size is allocated: nine digits
        // could announce almost a gigabyte.
        if (length > maxDataSetSize)
            return malformed("it announces " + piece + " bytes, more than a data set can hold");
        std::string data;
        if (length > 0 && (status = ReadPiece(visa, session, data, length)) != VI_SUCCESS)
            return status != VI_ERROR_INV_FMT ? status
                   // The answer ended with the block's last byte.
                   : data.size() == length ? malformed("its final line feed is missing")
                                           : malformed("it holds " + std::to_string(data.size()) + " of the " +
                                                       std::to_string(length) + " bytes it announces");
        status = Read(visa, session, piece, 1);
        if (status < VI_SUCCESS)
            return status;
        // More data where the line feed belongs, or behind it, is a block
        // longer than its header says, and no success of any kind.
        if (status == VI_SUCCESS_MAX_CNT)
            return malformed("it holds more bytes than it announces");
        if (piece != "\n")
            return malformed("its final line feed is missing");
        block.swap(data);
        return VI_SUCCESS;
    });
    if (fault)
        *fault = result == VI_ERROR_INV_FMT ? what : std::string();
    return result;
}

ViStatus VisaWriteBlock(const VisaFunctions& visa, ViSession session, std::string command, const std::string& block)
{
    return Guarded([&] {
        const std::string length = std::to_string(block.size());
        command.reserve(command.size() + length.size() + block.size() + 4);
        command += " #";
        command += std::to_string(length.size());
        command += length;
        command += block;
        command += '\n';
        return Write(visa, session, command);
    });
}

ViStatus VisaQueryString(const VisaFunctions& visa, ViSession session, std::string command, std::string& answer)
{
    return Guarded([&] {
        std::string reply;
        const ViStatus status = QueryReply(visa, session, command + '\n', reply);
        if (status != VI_SUCCESS)
            return status;
        StripQuotesAndLineFeeds(reply);
        answer.swap(reply);
        return VI_SUCCESS;
    });
}

ViStatus VisaQueryError(const VisaFunctions& visa, ViSession session, std::int32_t& code, std::string& text)
{
    return Guarded([&] {
        std::string reply;
        const ViStatus status = QueryReply(visa, session, "syst:err?\n", reply);
        if (status != VI_SUCCESS)
            return status;
        const std::size_t comma = reply.find(',');
        std::int32_t number = 0;
        if (!boost::conversion::try_lexical_convert(reply.substr(0, comma), number))
            return VI_ERROR_INV_FMT;
        std::string message = comma == std::string::npos ? std::string() : reply.substr(comma + 1);
        StripQuotesAndLineFeeds(message);
        code = number;
        text.swap(message);
        return VI_SUCCESS;
    });
}

ViStatus VisaQueryIdentity(const VisaFunctions& visa, ViSession session, std::string& manufacturer, std::string& model,
                           std::string& serialNumber, std::string& firmware)
{
    return Guarded([&] {
        std::string reply;
        const ViStatus status = QueryReply(visa, session, "*idn?\n", reply);
        if (status != VI_SUCCESS)
            return status;
        const std::locale locale;
        boost::algorithm::trim(reply, locale);
        std::vector<std::string> fields;
        boost::algorithm::split(fields, reply, boost::algorithm::is_any_of(","), boost::algorithm::token_compress_off);
        if (fields.size() != 4)
            return VI_ERROR_INV_FMT;
        for (std::string& field : fields)
            boost::algorithm::trim(field, locale);
        manufacturer.swap(fields[0]);
        model.swap(fields[1]);
        serialNumber.swap(fields[2]);
        firmware.swap(fields[3]);
        return VI_SUCCESS;
    });
}

bool HasUserDataCommand(const std::string& headers)
{
    using namespace boost::xpressive;
    static const sregex userDataCommand = as_xpr(":CALibration") >> *graph >> ":USER:DATA";
    try {
        return regex_search(headers, userDataCommand);
    } catch (...) {
        return false;
    }
}
