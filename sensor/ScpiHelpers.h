#pragma once

// SCPI over VISA: commands, text replies, the error queue, the identity and
// IEEE 488.2 definite-length blocks. Each function writes its command and
// reads the answer on one session and gives a VISA status (0: success). None
// throws: a reply in the wrong format gives VI_ERROR_INV_FMT, a transport
// fault the status of the failing call.

#include "VisaLoader.h"

#include <cstdint>
#include <string>

// `fault`, when given, tells what was wrong with a block refused with
// VI_ERROR_INV_FMT ("it does not begin with "#"", …), and is empty otherwise.
ViStatus VisaQueryBlock(const VisaFunctions& visa, ViSession session, std::string command, std::string& block,
                        std::string* fault = nullptr);
ViStatus VisaWriteBlock(const VisaFunctions& visa, ViSession session, std::string command, const std::string& block);
ViStatus VisaQueryString(const VisaFunctions& visa, ViSession session, std::string command, std::string& answer);
ViStatus VisaQueryError(const VisaFunctions& visa, ViSession session, std::int32_t& code, std::string& text);
ViStatus VisaQueryIdentity(const VisaFunctions& visa, ViSession session, std::string& manufacturer, std::string& model,
                           std::string& serialNumber, std::string& firmware);

// Whether a help-header list holds the user data command: ":CALibration", any
// printable non-space characters, ":USER:DATA" (case-sensitive).
bool HasUserDataCommand(const std::string& headers);
