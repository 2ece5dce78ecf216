#pragma once

// The parameter type of the option line. S and U files are told apart; Z, Y,
// H and G files are all "Other". Compared by address.
struct CParamType
{
    const char* name;

    static const CParamType SParameter;
    static const CParamType Uncertainty;
    static const CParamType Other;

    constexpr explicit CParamType(const char* typeName) : name(typeName) {}
    CParamType(const CParamType&) = delete;
    CParamType& operator=(const CParamType&) = delete;
};
