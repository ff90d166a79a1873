#include "ServerVersion.h"

namespace qts {

namespace {

// Each release at its RTM build. The edition line of @@VERSION names this
// server instead of an edition and an operating system.
const ServerVersion kVersions[] = {
    {2000, 8, 0, 194, 0, 74, 0x730B0003, 80, 539, "8.00.194",
     "Microsoft SQL Server  2000 - 8.00.194 (Intel X86) \n\tAug  6 2000 00:57:48 \n\t"
     "Copyright (c) 1988-2000 Microsoft Corporation\n\tQuorvane test server\n"},
    {2005, 9, 0, 1399, 6, 72, 0x730B0003, 90, 611, "9.00.1399.06",
     "Microsoft SQL Server 2005 - 9.00.1399.06 (Intel X86) \n\tOct 14 2005 00:33:37 \n\t"
     "Copyright (c) 1988-2005 Microsoft Corporation\n\tQuorvane test server\n"},
    {2008, 10, 0, 1600, 22, 73, 0x730A0003, 100, 655, "10.0.1600.22",
     "Microsoft SQL Server 2008 (RTM) - 10.0.1600.22 (X64) \n\tJul  9 2008 14:17:44 \n\t"
     "Copyright (c) 1988-2008 Microsoft Corporation\n\tQuorvane test server\n"},
    {2012, 11, 0, 2100, 60, 74, 0x730B0003, 110, 706, "11.0.2100.60",
     "Microsoft SQL Server 2012 - 11.0.2100.60 (X64) \n\tFeb 10 2012 19:39:15 \n\t"
     "Copyright (c) Microsoft Corporation\n\tQuorvane test server\n"},
    {2014, 12, 0, 2000, 8, 74, 0x730B0003, 120, 782, "12.0.2000.8",
     "Microsoft SQL Server 2014 - 12.0.2000.8 (X64) \n\tFeb 20 2014 20:04:26 \n\t"
     "Copyright (c) Microsoft Corporation\n\tQuorvane test server\n"},
    {2016, 13, 0, 1601, 5, 74, 0x730B0003, 130, 852, "13.0.1601.5",
     "Microsoft SQL Server 2016 (RTM) - 13.0.1601.5 (X64) \n\tApr 29 2016 23:23:58 \n\t"
     "Copyright (c) Microsoft Corporation\n\tQuorvane test server\n"},
    {2017, 14, 0, 1000, 169, 74, 0x730B0003, 140, 869, "14.0.1000.169",
     "Microsoft SQL Server 2017 (RTM) - 14.0.1000.169 (X64) \n\tAug 22 2017 17:04:49 \n\t"
     "Copyright (C) 2017 Microsoft Corporation\n\tQuorvane test server\n"},
    {2019, 15, 0, 2000, 5, 74, 0x730B0003, 150, 904, "15.0.2000.5",
     "Microsoft SQL Server 2019 (RTM) - 15.0.2000.5 (X64) \n\tSep 24 2019 13:48:23 \n\t"
     "Copyright (C) 2019 Microsoft Corporation\n\tQuorvane test server\n"},
    {2022, 16, 0, 1000, 6, 74, 0x730B0003, 160, 957, "16.0.1000.6",
     "Microsoft SQL Server 2022 (RTM) - 16.0.1000.6 (X64) \n\tOct  8 2022 05:58:25 \n\t"
     "Copyright (C) 2022 Microsoft Corporation\n\tQuorvane test server\n"},
};

thread_local const ServerVersion *t_current = nullptr;

} // namespace

const ServerVersion *findServerVersion(int year)
{
    for (const auto &v : kVersions)
        if (v.year == year)
            return &v;
    return nullptr;
}

const ServerVersion &defaultServerVersion()
{
    return kVersions[0];
}

std::string serverVersionYears()
{
    std::string out;
    for (const auto &v : kVersions)
        out += (out.empty() ? "" : "|") + std::to_string(v.year);
    return out;
}

const ServerVersion &currentServerVersion()
{
    return t_current ? *t_current : defaultServerVersion();
}

ServerVersionScope::ServerVersionScope(const ServerVersion &v) : m_previous(t_current)
{
    t_current = &v;
}

ServerVersionScope::~ServerVersionScope()
{
    t_current = m_previous;
}

} // namespace qts
