#pragma once

// A VISA library of the test's making: the resources it finds, and for each
// the message it answers every write with. Reads take that message in the
// pieces asked for; the one that reaches its last byte gets END (VI_SUCCESS),
// the others VI_SUCCESS_MAX_CNT, as VISA gives them.

#include "VisaLoader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

struct FakeResource
{
    std::string descriptor;
    std::string model = "?"; // "?": the attribute cannot be read; model "-": viOpen fails
    std::string serial = "?";
    std::string reply;
};

struct FakeVisa
{
    std::vector<FakeResource> resources; // session i + 1 is resource i
    ViStatus writeStatus = VI_SUCCESS;
    ViStatus cut = VI_SUCCESS; // not 0: the reply breaks off after its bytes, the read there gets this
    bool statusTextFails = false;
    std::vector<std::string> writes;
    std::vector<ViUInt32> reads; // the counts asked for
    int open = 0;                // sessions and find lists not closed
    std::vector<std::string> found;
    std::map<ViSession, std::string> pending;

    FakeVisa() { The() = this; }
    ~FakeVisa() { The() = nullptr; }
    static FakeVisa*& The()
    {
        static FakeVisa* fake = nullptr;
        return fake;
    }

    static ViStatus Next(ViFindList, ViChar desc[])
    {
        if (The()->found.empty())
            return VI_ERROR_RSRC_NFOUND;
        std::strcpy(desc, The()->found.front().c_str());
        return The()->found.erase(The()->found.begin()), VI_SUCCESS;
    }

    std::shared_ptr<const VisaFunctions> Table() const
    {
        auto f = std::make_shared<VisaFunctions>();
        f->viOpenDefaultRM = [](ViPSession vi) { return *vi = 100, ++The()->open, VI_SUCCESS; };
        f->viFindRsrc = [](ViSession, ViConstString expr, ViPFindList list, ViPUInt32 count, ViChar desc[]) {
            const char* kind = std::strcmp(expr, "USB?::0x1B7E?*INSTR") == 0 ? "USB"
                               : std::strcmp(expr, "TCPIP?*INSTR") == 0      ? "TCPIP" : "-";
            The()->found.clear();
            for (const FakeResource& resource : The()->resources)
                if (resource.descriptor.rfind(kind, 0) == 0)
                    The()->found.push_back(resource.descriptor);
            *count = static_cast<ViUInt32>(The()->found.size());
            return *count == 0 ? VI_ERROR_RSRC_NFOUND : (*list = 200, ++The()->open, Next(*list, desc));
        };
        f->viFindNext = Next;
        f->viOpen = [](ViSession, ViConstRsrc name, ViAccessMode, ViUInt32, ViPSession vi) {
            for (std::size_t i = 0; i < The()->resources.size(); ++i)
                if (The()->resources[i].descriptor == name && The()->resources[i].model != "-")
                    return *vi = static_cast<ViSession>(i + 1), ++The()->open, VI_SUCCESS;
            return VI_ERROR_RSRC_NFOUND;
        };
        f->viClose = [](ViObject) { return --The()->open, VI_SUCCESS; };
        f->viGetAttribute = [](ViObject vi, ViAttr attribute, void* value) {
            const FakeResource& resource = The()->resources.at(vi - 1);
            const std::string& text = attribute == VI_ATTR_MODEL_NAME ? resource.model : resource.serial;
            if (text == "?")
                return VI_ERROR_NSUP_ATTR;
            return std::strcpy(static_cast<char*>(value), text.c_str()), VI_SUCCESS;
        };
        f->viStatusDesc = [](ViObject vi, ViStatus status, ViChar desc[]) {
            std::snprintf(desc, 256, "status %X on session %u", static_cast<unsigned>(status), vi);
            return The()->statusTextFails ? VI_ERROR_INV_OBJECT : VI_SUCCESS;
        };
        f->viWrite = [](ViSession vi, ViConstBuf buf, ViUInt32 cnt, ViPUInt32 retCnt) {
            The()->writes.emplace_back(reinterpret_cast<const char*>(buf), cnt);
            The()->pending[vi] = The()->resources.at(vi - 1).reply;
            return *retCnt = cnt, The()->writeStatus;
        };
        f->viRead = [](ViSession vi, ViBuf buf, ViUInt32 cnt, ViPUInt32 retCnt) {
            The()->reads.push_back(cnt);
            std::string& pending = The()->pending[vi];
            *retCnt = static_cast<ViUInt32>(std::min<std::size_t>(cnt, pending.size()));
            std::memcpy(buf, pending.data(), *retCnt);
            pending.erase(0, *retCnt);
            if (*retCnt < cnt && The()->cut != VI_SUCCESS)
                return The()->cut;
            return *retCnt == 0 ? VI_ERROR_TMO : pending.empty() && !The()->cut ? VI_SUCCESS : VI_SUCCESS_MAX_CNT;
        };
        return f;
    }
};
