// The SCPI reply helpers over a VISA session that replays the fuzzer's bytes
// (first byte: which helper). A helper that fails leaves its results as they
// were; a block read is exactly "#", the digit count, the length, the data and
// a line feed; text replies come out without the quotes and line feeds around
// them; and a block written reads back as the same block.

#include "FuzzCheck.h"
#include "ScpiHelpers.h"
#include "ScriptedVisa.h"

#include <boost/algorithm/string/predicate.hpp>

namespace
{
const VisaFunctions visa = ScriptedVisa::Table();
constexpr ViSession session = 1;
const std::string untouched = "untouched";

void QueryBlock(const std::string& reply)
{
    ScriptedVisa::The().Start(reply);
    std::string block = untouched;
    if (VisaQueryBlock(visa, session, "cal:data?", block) != VI_SUCCESS) {
        Check(block == untouched, "a failed block query leaves the block");
        return;
    }
    const std::string length = std::to_string(block.size());
    const std::size_t digits = reply.size() >= 2 ? static_cast<std::size_t>(reply[1] - '0') : 0;
    Check(reply.size() == 2 + digits + block.size() + 1 && reply[0] == '#' && reply.back() == '\n' &&
              reply.compare(2 + digits, block.size(), block) == 0 &&
              std::stoull(reply.substr(2, digits)) == block.size(),
          "a block reply is exactly header, data and line feed", Printable(reply));
}

void QueryString(const std::string& reply)
{
    ScriptedVisa::The().Start(reply);
    std::string answer = untouched;
    if (VisaQueryString(visa, session, "syst:info? 'cal. lin.'", answer) != VI_SUCCESS) {
        Check(answer == untouched, "a failed query leaves the answer");
        return;
    }
    Check(reply.find(answer) != std::string::npos, "an answer is part of the reply");
    Check(answer.empty() || (answer.front() != '"' && answer.front() != '\n' && answer.back() != '"' &&
                             answer.back() != '\n'),
          "an answer has no quotes or line feeds around it", Printable(answer));
}

void QueryError(const std::string& reply)
{
    ScriptedVisa::The().Start(reply);
    std::int32_t code = 12345;
    std::string text = untouched;
    if (VisaQueryError(visa, session, code, text) != VI_SUCCESS) {
        Check(code == 12345 && text == untouched, "a failed error query leaves code and text");
        return;
    }
    Check(reply.find(text) != std::string::npos, "the error text is part of the reply");
    Check(text.empty() || (text.front() != '"' && text.back() != '"' && text.back() != '\n'),
          "an error text has no quotes or line feeds around it", Printable(text));
}

void QueryIdentity(const std::string& reply)
{
    ScriptedVisa::The().Start(reply);
    std::string fields[4] = {untouched, untouched, untouched, untouched};
    if (VisaQueryIdentity(visa, session, fields[0], fields[1], fields[2], fields[3]) != VI_SUCCESS) {
        for (const std::string& field : fields)
            Check(field == untouched, "a failed identity query leaves every field");
        return;
    }
    for (const std::string& field : fields)
        Check(field.find(',') == std::string::npos && reply.find(field) != std::string::npos,
              "an identity field is a comma-free part of the reply", Printable(reply));
}

void WriteBlock(const std::string& block)
{
    ScriptedVisa::The().Start({});
    Check(VisaWriteBlock(visa, session, "cal:data", block) == VI_SUCCESS, "a block write succeeds");
    const std::string written = ScriptedVisa::The().writes.at(0);
    Check(boost::algorithm::starts_with(written, "cal:data #"), "a block write is the command and a block");
    ScriptedVisa::The().Start(written.substr(written.find('#')));
    std::string back;
    Check(VisaQueryBlock(visa, session, "cal:data?", back) == VI_SUCCESS && back == block,
          "a written block reads back as itself");
}
void UserDataCommand(const std::string& command)
{
    if (HasUserDataCommand(command))
        Check(command.find(":CALibration") != std::string::npos && command.find(":USER:DATA") != std::string::npos,
              "a user data command names both parts");
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    if (size == 0)
        return 0;
    constexpr void (*helpers[])(const std::string&) = {QueryBlock,    QueryString, QueryError,
                                                       QueryIdentity, WriteBlock,  UserDataCommand};
    helpers[data[0] % std::size(helpers)](Bytes(data + 1, size - 1));
    return 0;
}
