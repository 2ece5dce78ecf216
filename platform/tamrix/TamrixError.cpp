#include "TamrixError.h"

namespace
{
std::shared_ptr<const std::string> MakeWhat(std::int32_t code)
{
    return std::make_shared<const std::string>("data set library error " + std::to_string(code));
}
} // namespace

TvxKyyCalcDLLError::TvxKyyCalcDLLError(std::int32_t errorCode)
    : code(errorCode), context(nullptr), m_what(MakeWhat(errorCode))
{
}

TvxKyyCalcDLLError::TvxKyyCalcDLLError(std::int32_t errorCode, const char* errorContext)
    : TvxKyyCalcDLLError(errorCode)
{
    if (errorContext) {
        m_context = std::make_shared<const std::string>(errorContext);
        context = m_context->c_str();
    }
}

TvxKyyCalcDLLError::TvxKyyCalcDLLError(std::int32_t errorCode, const std::string& errorContext)
    : TvxKyyCalcDLLError(errorCode)
{
    m_context = std::make_shared<const std::string>(errorContext);
    context = m_context->c_str();
}

const char* TvxKyyCalcDLLError::what() const noexcept
{
    return m_what->c_str();
}
