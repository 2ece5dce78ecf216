// libostrel-visa.so: the VISA C functions for the sensors this program
// serves and finds, USB INSTR (the simulated sensors' sockets) and TCPIP INSTR
// (VXI-11), with the standard's names, signatures and statuses.

#include "Instrument.h"
#include "ResourceName.h"
#include "Resources.h"
#include "VisaTypes.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#define VISA_API extern "C" __attribute__((visibility("default")))

namespace
{

using namespace ostrel_visa;

constexpr ViUInt32 defaultTimeoutMs = 2000;
constexpr ViUInt32 implementationVersion = 0x00100000; // 1.0

struct Object
{
    enum class Kind
    {
        ResourceManager,
        FindList,
        Instrument
    } kind;
    ViSession owner = 0; // the resource manager that opened it

    // Find lists
    std::vector<std::string> found;
    std::size_t next = 0;

    // Instruments
    std::mutex call; // one operation at a time
    ResourceName name;
    std::unique_ptr<Instrument> instrument;
    ViUInt32 timeoutMs = defaultTimeoutMs;
    bool sendEnd = true;
    ViUInt8 termChar = '\n';
    bool termCharEnabled = false;
    unsigned locks = 0; // nesting depth of the exclusive lock

    explicit Object(Kind k) : kind(k) {}
};

struct Table
{
    std::mutex lock;
    std::map<ViSession, std::shared_ptr<Object>> objects;
    ViSession next = 1;
};

// Why the last open of a resource failed, for its status text: a failed
// viOpen leaves no session, so the text goes with the status.
struct OpenProblem
{
    std::mutex lock;
    ViStatus status = VI_SUCCESS;
    std::string text;
};

OpenProblem& LastOpenProblem()
{
    static OpenProblem* const problem = new OpenProblem;
    return *problem;
}

Table& Objects()
{
    // Never destroyed: a thread of the program may still be in a call while it exits.
    static Table* const table = new Table;
    return *table;
}

ViSession Add(std::shared_ptr<Object> object)
{
    Table& table = Objects();
    std::lock_guard<std::mutex> lock(table.lock);
    while (table.next == 0 || table.objects.count(table.next))
        ++table.next;
    const ViSession session = table.next++;
    table.objects.emplace(session, std::move(object));
    return session;
}

std::shared_ptr<Object> Find(ViObject session, Object::Kind kind)
{
    Table& table = Objects();
    std::lock_guard<std::mutex> lock(table.lock);
    const auto it = table.objects.find(session);
    if (it == table.objects.end() || it->second->kind != kind)
        return nullptr;
    return it->second;
}

std::shared_ptr<Object> FindAny(ViObject session)
{
    Table& table = Objects();
    std::lock_guard<std::mutex> lock(table.lock);
    const auto it = table.objects.find(session);
    return it == table.objects.end() ? nullptr : it->second;
}

void CopyText(const std::string& text, ViChar* destination, std::size_t size = VI_FIND_BUFLEN)
{
    const std::size_t count = std::min(text.size(), size - 1);
    std::memcpy(destination, text.data(), count);
    destination[count] = '\0';
}

const struct
{
    ViStatus status;
    const char* text;
} statusTexts[] = {
    {VI_SUCCESS, "VI_SUCCESS: Operation completed successfully."},
    {VI_SUCCESS_EVENT_DIS, "VI_SUCCESS_EVENT_DIS: Specified event is already disabled for at least one of the "
                           "specified mechanisms."},
    {VI_SUCCESS_QUEUE_EMPTY, "VI_SUCCESS_QUEUE_EMPTY: Operation completed successfully, but queue was already empty."},
    {VI_SUCCESS_TERM_CHAR, "VI_SUCCESS_TERM_CHAR: The specified termination character was read."},
    {VI_SUCCESS_MAX_CNT,
     "VI_SUCCESS_MAX_CNT: The number of bytes read is equal to the input count. More data might be available."},
    {VI_SUCCESS_NESTED_EXCLUSIVE,
     "VI_SUCCESS_NESTED_EXCLUSIVE: Operation completed successfully, and this session has nested exclusive locks."},
    {VI_WARN_UNKNOWN_STATUS, "VI_WARN_UNKNOWN_STATUS: The status code passed to the operation could not be interpreted."},
    {VI_ERROR_SYSTEM_ERROR, "VI_ERROR_SYSTEM_ERROR: Unknown system error (miscellaneous error)."},
    {VI_ERROR_INV_OBJECT, "VI_ERROR_INV_OBJECT: The given session or object reference is invalid."},
    {VI_ERROR_RSRC_LOCKED,
     "VI_ERROR_RSRC_LOCKED: Specified type of lock cannot be obtained, or specified operation cannot be performed, "
     "because the resource is locked."},
    {VI_ERROR_INV_EXPR, "VI_ERROR_INV_EXPR: Invalid expression specified for search."},
    {VI_ERROR_RSRC_NFOUND, "VI_ERROR_RSRC_NFOUND: Insufficient location information or the device or resource is "
                           "not present in the system."},
    {VI_ERROR_INV_RSRC_NAME, "VI_ERROR_INV_RSRC_NAME: Invalid resource reference specified. Parsing error."},
    {VI_ERROR_INV_ACC_MODE, "VI_ERROR_INV_ACC_MODE: Invalid access mode."},
    {VI_ERROR_TMO, "VI_ERROR_TMO: Timeout expired before operation completed."},
    {VI_ERROR_NSUP_ATTR,
     "VI_ERROR_NSUP_ATTR: The specified attribute is not defined or not supported by the referenced resource."},
    {VI_ERROR_NSUP_ATTR_STATE,
     "VI_ERROR_NSUP_ATTR_STATE: The specified state of the attribute is not valid, or is not supported as defined "
     "by the resource."},
    {VI_ERROR_ATTR_READONLY, "VI_ERROR_ATTR_READONLY: The specified attribute is read-only."},
    {VI_ERROR_INV_LOCK_TYPE, "VI_ERROR_INV_LOCK_TYPE: The specified type of lock is not supported by this resource."},
    {VI_ERROR_ALLOC, "VI_ERROR_ALLOC: Insufficient system resources to perform necessary memory allocation."},
    {VI_ERROR_IO, "VI_ERROR_IO: Could not perform operation because of I/O error."},
    {VI_ERROR_INV_FMT, "VI_ERROR_INV_FMT: A format specifier in the format string is invalid."},
    {VI_ERROR_NSUP_OPER, "VI_ERROR_NSUP_OPER: The given session or object reference does not support this operation."},
    {VI_ERROR_USER_BUF, "VI_ERROR_USER_BUF: A specified user buffer is not valid or cannot be accessed for the "
                        "required size."},
    {VI_ERROR_INV_PARAMETER, "VI_ERROR_INV_PARAMETER: The value of some parameter is invalid."},
    {VI_ERROR_SESN_NLOCKED, "VI_ERROR_SESN_NLOCKED: The current session did not have a lock on the resource."},
    {VI_ERROR_RSRC_BUSY, "VI_ERROR_RSRC_BUSY: The resource is valid, but VISA cannot currently access it."},
    {VI_ERROR_CONN_LOST, "VI_ERROR_CONN_LOST: The connection for the given session has been lost."},
    {VI_ERROR_NPERMISSION, "VI_ERROR_NPERMISSION: Access to the resource is denied: the current user lacks the "
                           "privileges."},
};

ViStatus GetInstrumentAttribute(Object& object, ViAttr attribute, void* value)
{
    auto number = [value](ViUInt32 v) {
        std::memcpy(value, &v, sizeof v);
        return VI_SUCCESS;
    };
    auto number16 = [value](ViUInt16 v) {
        std::memcpy(value, &v, sizeof v);
        return VI_SUCCESS;
    };
    auto text = [value](const std::string& v) {
        CopyText(v, static_cast<ViChar*>(value));
        return VI_SUCCESS;
    };
    switch (attribute) {
    case VI_ATTR_TMO_VALUE:
        return number(object.timeoutMs);
    case VI_ATTR_INTF_TYPE:
        return number16(object.name.interfaceType);
    case VI_ATTR_INTF_NUM:
        return number16(object.name.board);
    case VI_ATTR_RSRC_NAME:
        return text(object.name.Canonical());
    case VI_ATTR_RSRC_CLASS:
        return text("INSTR");
    case VI_ATTR_RSRC_LOCK_STATE:
        return number(object.locks ? VI_EXCLUSIVE_LOCK : VI_NO_LOCK);
    case VI_ATTR_SEND_END_EN: {
        const ViBoolean on = object.sendEnd ? VI_TRUE : VI_FALSE;
        std::memcpy(value, &on, sizeof on);
        return VI_SUCCESS;
    }
    case VI_ATTR_TERMCHAR_EN: {
        const ViBoolean on = object.termCharEnabled ? VI_TRUE : VI_FALSE;
        std::memcpy(value, &on, sizeof on);
        return VI_SUCCESS;
    }
    case VI_ATTR_TERMCHAR:
        std::memcpy(value, &object.termChar, sizeof object.termChar);
        return VI_SUCCESS;
    case VI_ATTR_INTF_INST_NAME:
        return text(object.name.interfaceType == VI_INTF_USB ? "USB" : "TCPIP");
    default:
        break;
    }
    std::string textValue;
    ViStatus status = object.instrument->TextAttribute(attribute, textValue);
    if (status == VI_SUCCESS)
        return text(textValue);
    ViUInt32 numberValue = 0;
    status = object.instrument->NumberAttribute(attribute, numberValue);
    if (status == VI_SUCCESS) {
        if (attribute == VI_ATTR_MANF_ID || attribute == VI_ATTR_MODEL_CODE || attribute == VI_ATTR_USB_INTFC_NUM)
            return number16(static_cast<ViUInt16>(numberValue));
        return number(numberValue);
    }
    return status;
}

ViStatus GetManagerAttribute(ViAttr attribute, void* value)
{
    ViUInt32 number = 0;
    switch (attribute) {
    case VI_ATTR_RSRC_SPEC_VERSION:
        number = VI_SPEC_VERSION;
        break;
    case VI_ATTR_RSRC_IMPL_VERSION:
        number = implementationVersion;
        break;
    case VI_ATTR_RSRC_MANF_ID:
        number = 0x3FFF;
        break;
    case VI_ATTR_RSRC_MANF_NAME:
        CopyText("Ostrel", static_cast<ViChar*>(value));
        return VI_SUCCESS;
    case VI_ATTR_RSRC_NAME:
        CopyText("::INSTR0", static_cast<ViChar*>(value));
        return VI_SUCCESS;
    case VI_ATTR_TMO_VALUE:
        number = defaultTimeoutMs;
        break;
    default:
        return VI_ERROR_NSUP_ATTR;
    }
    std::memcpy(value, &number, sizeof number);
    return VI_SUCCESS;
}

} // namespace

VISA_API ViStatus viOpenDefaultRM(ViPSession vi)
{
    if (!vi)
        return VI_ERROR_USER_BUF;
    *vi = Add(std::make_shared<Object>(Object::Kind::ResourceManager));
    return VI_SUCCESS;
}

VISA_API ViStatus viFindRsrc(ViSession sesn, ViConstString expr, ViPFindList vi, ViPUInt32 retCnt, ViChar desc[])
{
    if (!Find(sesn, Object::Kind::ResourceManager))
        return VI_ERROR_INV_OBJECT;
    if (!expr)
        return VI_ERROR_INV_EXPR;
    bool valid = true;
    MatchesExpression(expr, "", valid);
    if (!valid)
        return VI_ERROR_INV_EXPR;
    auto list = std::make_shared<Object>(Object::Kind::FindList);
    list->owner = sesn;
    list->found = FindResources(expr);
    if (retCnt)
        *retCnt = static_cast<ViUInt32>(list->found.size());
    if (list->found.empty()) {
        if (vi)
            *vi = 0;
        return VI_ERROR_RSRC_NFOUND;
    }
    if (desc)
        CopyText(list->found[0], desc);
    list->next = 1;
    const ViSession session = Add(std::move(list));
    if (vi)
        *vi = session;
    return VI_SUCCESS;
}

VISA_API ViStatus viFindNext(ViFindList vi, ViChar desc[])
{
    const auto list = Find(vi, Object::Kind::FindList);
    if (!list)
        return VI_ERROR_INV_OBJECT;
    std::lock_guard<std::mutex> lock(list->call);
    if (list->next >= list->found.size())
        return VI_ERROR_RSRC_NFOUND;
    if (desc)
        CopyText(list->found[list->next], desc);
    ++list->next;
    return VI_SUCCESS;
}

VISA_API ViStatus viParseRsrcEx(ViSession sesn, ViConstRsrc name, ViPUInt16 intfType, ViPUInt16 intfNum,
                                ViChar rsrcClass[], ViChar expandedUnaliasedName[], ViChar aliasIfExists[])
{
    if (!Find(sesn, Object::Kind::ResourceManager))
        return VI_ERROR_INV_OBJECT;
    const auto parsed = name ? ParseResourceName(name) : std::nullopt;
    if (!parsed)
        return VI_ERROR_INV_RSRC_NAME;
    if (intfType)
        *intfType = parsed->interfaceType;
    if (intfNum)
        *intfNum = parsed->board;
    if (rsrcClass)
        CopyText("INSTR", rsrcClass);
    if (expandedUnaliasedName)
        CopyText(parsed->Canonical(), expandedUnaliasedName);
    if (aliasIfExists)
        aliasIfExists[0] = '\0';
    return VI_SUCCESS;
}

VISA_API ViStatus viParseRsrc(ViSession sesn, ViConstRsrc name, ViPUInt16 intfType, ViPUInt16 intfNum)
{
    return viParseRsrcEx(sesn, name, intfType, intfNum, nullptr, nullptr, nullptr);
}

VISA_API ViStatus viOpen(ViSession sesn, ViConstRsrc name, ViAccessMode mode, ViUInt32 timeout, ViPSession vi)
{
    if (!Find(sesn, Object::Kind::ResourceManager))
        return VI_ERROR_INV_OBJECT;
    if (!vi)
        return VI_ERROR_USER_BUF;
    *vi = 0;
    if (mode & ~(VI_EXCLUSIVE_LOCK | VI_LOAD_CONFIG))
        return VI_ERROR_INV_ACC_MODE;
    const auto parsed = name ? ParseResourceName(name) : std::nullopt;
    if (!parsed)
        return VI_ERROR_INV_RSRC_NAME;
    auto object = std::make_shared<Object>(Object::Kind::Instrument);
    object->owner = sesn;
    object->name = *parsed;
    std::string problem;
    ViStatus status = OpenInstrument(object->name, object->instrument, problem);
    if (status != VI_SUCCESS) {
        if (!problem.empty()) {
            std::fprintf(stderr, "%s\n", problem.c_str());
            OpenProblem& last = LastOpenProblem();
            std::lock_guard<std::mutex> lock(last.lock);
            last.status = status;
            last.text = problem;
        }
        return status;
    }
    if (mode & VI_EXCLUSIVE_LOCK) {
        status = object->instrument->Lock(timeout);
        if (status != VI_SUCCESS)
            return status;
        object->locks = 1;
    }
    *vi = Add(std::move(object));
    return VI_SUCCESS;
}

VISA_API ViStatus viClose(ViObject vi)
{
    std::vector<std::shared_ptr<Object>> closing;
    {
        Table& table = Objects();
        std::lock_guard<std::mutex> lock(table.lock);
        const auto it = table.objects.find(vi);
        if (it == table.objects.end())
            return VI_ERROR_INV_OBJECT;
        closing.push_back(it->second);
        table.objects.erase(it);
        // Closing a resource manager closes what was opened through it.
        if (closing[0]->kind == Object::Kind::ResourceManager) {
            for (auto child = table.objects.begin(); child != table.objects.end();) {
                if (child->second->owner == vi) {
                    closing.push_back(child->second);
                    child = table.objects.erase(child);
                } else {
                    ++child;
                }
            }
        }
    }
    for (const auto& object : closing) {
        if (object->kind != Object::Kind::Instrument)
            continue;
        // A call blocked on another thread is ended; the lock then goes with
        // the connection. Otherwise the instrument closes in order.
        std::unique_lock<std::mutex> lock(object->call, std::try_to_lock);
        if (!lock.owns_lock()) {
            object->instrument->Shutdown();
            lock.lock();
        }
        object->instrument.reset();
    }
    return VI_SUCCESS;
}

VISA_API ViStatus viGetAttribute(ViObject vi, ViAttr attrName, void* attrValue)
{
    const auto object = FindAny(vi);
    if (!object)
        return VI_ERROR_INV_OBJECT;
    if (!attrValue)
        return VI_ERROR_USER_BUF;
    if (object->kind == Object::Kind::ResourceManager)
        return GetManagerAttribute(attrName, attrValue);
    if (object->kind == Object::Kind::FindList)
        return VI_ERROR_NSUP_ATTR;
    std::lock_guard<std::mutex> lock(object->call);
    if (!object->instrument)
        return VI_ERROR_INV_OBJECT;
    return GetInstrumentAttribute(*object, attrName, attrValue);
}

VISA_API ViStatus viSetAttribute(ViObject vi, ViAttr attrName, ViAttrState attrValue)
{
    const auto object = FindAny(vi);
    if (!object)
        return VI_ERROR_INV_OBJECT;
    if (object->kind != Object::Kind::Instrument)
        return attrName == VI_ATTR_TMO_VALUE ? VI_SUCCESS : VI_ERROR_NSUP_ATTR;
    std::lock_guard<std::mutex> lock(object->call);
    switch (attrName) {
    case VI_ATTR_TMO_VALUE:
        object->timeoutMs = static_cast<ViUInt32>(attrValue);
        return VI_SUCCESS;
    case VI_ATTR_SEND_END_EN:
    case VI_ATTR_TERMCHAR_EN:
        if (attrValue > 1)
            return VI_ERROR_NSUP_ATTR_STATE;
        (attrName == VI_ATTR_SEND_END_EN ? object->sendEnd : object->termCharEnabled) = attrValue != 0;
        return VI_SUCCESS;
    case VI_ATTR_TERMCHAR:
        if (attrValue > 0xFF)
            return VI_ERROR_NSUP_ATTR_STATE;
        object->termChar = static_cast<ViUInt8>(attrValue);
        return VI_SUCCESS;
    case VI_ATTR_RSRC_NAME:
    case VI_ATTR_RSRC_CLASS:
    case VI_ATTR_INTF_TYPE:
    case VI_ATTR_INTF_NUM:
    case VI_ATTR_RSRC_LOCK_STATE:
    case VI_ATTR_MODEL_NAME:
    case VI_ATTR_MANF_NAME:
    case VI_ATTR_USB_SERIAL_NUM:
        return VI_ERROR_ATTR_READONLY;
    default:
        return VI_ERROR_NSUP_ATTR;
    }
}

VISA_API ViStatus viStatusDesc(ViObject vi, ViStatus status, ViChar desc[])
{
    const auto object = FindAny(vi);
    if (!object && vi != 0)
        return VI_ERROR_INV_OBJECT;
    if (!desc)
        return VI_ERROR_USER_BUF;
    for (const auto& entry : statusTexts) {
        if (entry.status == status) {
            // The status of a failed open, asked without an instrument: its name, then why.
            std::string problem;
            if (!object || object->kind == Object::Kind::ResourceManager) {
                OpenProblem& last = LastOpenProblem();
                std::lock_guard<std::mutex> lock(last.lock);
                if (last.status == status)
                    problem = last.text;
            }
            if (!problem.empty())
                CopyText(std::string(entry.text, std::strcspn(entry.text, ":")) + ": " + problem, desc);
            else
                CopyText(entry.text, desc);
            return VI_SUCCESS;
        }
    }
    CopyText("Unknown status value.", desc);
    return VI_WARN_UNKNOWN_STATUS;
}

VISA_API ViStatus viLock(ViSession vi, ViAccessMode lockType, ViUInt32 timeout, ViConstKeyId, ViChar accessKey[])
{
    const auto object = Find(vi, Object::Kind::Instrument);
    if (!object)
        return FindAny(vi) ? VI_ERROR_NSUP_OPER : VI_ERROR_INV_OBJECT;
    if (lockType != VI_EXCLUSIVE_LOCK)
        return VI_ERROR_INV_LOCK_TYPE;
    std::lock_guard<std::mutex> lock(object->call);
    if (!object->instrument)
        return VI_ERROR_INV_OBJECT;
    if (accessKey)
        accessKey[0] = '\0';
    if (object->locks > 0) {
        ++object->locks;
        return VI_SUCCESS_NESTED_EXCLUSIVE;
    }
    const ViStatus status = object->instrument->Lock(timeout);
    if (status == VI_SUCCESS)
        object->locks = 1;
    return status;
}

VISA_API ViStatus viUnlock(ViSession vi)
{
    const auto object = Find(vi, Object::Kind::Instrument);
    if (!object)
        return FindAny(vi) ? VI_ERROR_NSUP_OPER : VI_ERROR_INV_OBJECT;
    std::lock_guard<std::mutex> lock(object->call);
    if (!object->instrument)
        return VI_ERROR_INV_OBJECT;
    if (object->locks == 0)
        return VI_ERROR_SESN_NLOCKED;
    if (--object->locks > 0)
        return VI_SUCCESS_NESTED_EXCLUSIVE;
    return object->instrument->Unlock();
}

VISA_API ViStatus viRead(ViSession vi, ViBuf buf, ViUInt32 cnt, ViPUInt32 retCnt)
{
    if (retCnt)
        *retCnt = 0;
    const auto object = Find(vi, Object::Kind::Instrument);
    if (!object)
        return FindAny(vi) ? VI_ERROR_NSUP_OPER : VI_ERROR_INV_OBJECT;
    if (!buf && cnt > 0)
        return VI_ERROR_USER_BUF;
    std::lock_guard<std::mutex> lock(object->call);
    if (!object->instrument)
        return VI_ERROR_INV_OBJECT;
    std::size_t count = 0;
    const ViStatus status =
        object->instrument->Read(reinterpret_cast<char*>(buf), cnt, object->timeoutMs, count);
    if (retCnt)
        *retCnt = static_cast<ViUInt32>(count);
    return status;
}

VISA_API ViStatus viWrite(ViSession vi, ViConstBuf buf, ViUInt32 cnt, ViPUInt32 retCnt)
{
    if (retCnt)
        *retCnt = 0;
    const auto object = Find(vi, Object::Kind::Instrument);
    if (!object)
        return FindAny(vi) ? VI_ERROR_NSUP_OPER : VI_ERROR_INV_OBJECT;
    if (!buf && cnt > 0)
        return VI_ERROR_USER_BUF;
    std::lock_guard<std::mutex> lock(object->call);
    if (!object->instrument)
        return VI_ERROR_INV_OBJECT;
    std::size_t written = 0;
    const ViStatus status = object->instrument->Write(reinterpret_cast<const char*>(buf), cnt, object->sendEnd,
                                                      object->timeoutMs, written);
    if (retCnt)
        *retCnt = static_cast<ViUInt32>(written);
    return status;
}

VISA_API ViStatus viClear(ViSession vi)
{
    const auto object = Find(vi, Object::Kind::Instrument);
    if (!object)
        return FindAny(vi) ? VI_ERROR_NSUP_OPER : VI_ERROR_INV_OBJECT;
    std::lock_guard<std::mutex> lock(object->call);
    if (!object->instrument)
        return VI_ERROR_INV_OBJECT;
    return object->instrument->Clear(object->timeoutMs);
}

// This library raises no events: every event is disabled and no queue ever
// holds one, which clients ask about when they close a session.
VISA_API ViStatus viDisableEvent(ViSession vi, ViEventType, ViUInt16)
{
    return FindAny(vi) ? VI_SUCCESS_EVENT_DIS : VI_ERROR_INV_OBJECT;
}

VISA_API ViStatus viDiscardEvents(ViSession vi, ViEventType, ViUInt16)
{
    return FindAny(vi) ? VI_SUCCESS_QUEUE_EMPTY : VI_ERROR_INV_OBJECT;
}
