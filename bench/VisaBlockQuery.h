#pragma once

// The block query both VISA benchmarks time: the factory data set of a sensor
// read as one block through our VISA library, or through pyvisa-py (each read
// timed by the script itself, interpreter start-up excluded).

#include "VisaLoader.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

inline void TimeOurVisaBlockQuery(benchmark::State& state, const char* resource, const std::string& data)
{
    const auto visa = VisaLoader::Load({OSTREL_VISA_LIBRARY});
    ViSession manager = 0;
    ViSession session = 0;
    if (!visa || visa->viOpenDefaultRM(&manager) != VI_SUCCESS ||
        visa->viOpen(manager, resource, VI_NULL, VI_NULL, &session) != VI_SUCCESS) {
        state.SkipWithError("cannot open the sensor");
        return;
    }
    visa->viSetAttribute(session, VI_ATTR_TMO_VALUE, 60000);
    const std::string header = "#8" + std::to_string(data.size());
    std::string reply(header.size() + data.size() + 1, '\0');
    const std::string query = "*cls;cal:data?\n";
    for (auto _ : state) {
        ViUInt32 count = 0;
        if (visa->viWrite(session, reinterpret_cast<ViConstBuf>(query.data()), static_cast<ViUInt32>(query.size()),
                          &count) != VI_SUCCESS ||
            visa->viRead(session, reinterpret_cast<ViBuf>(reply.data()), static_cast<ViUInt32>(reply.size()), &count) !=
                VI_SUCCESS ||
            count != reply.size()) {
            state.SkipWithError("the block query failed");
            break;
        }
    }
    if (reply.compare(header.size(), data.size(), data) != 0)
        state.SkipWithError("the block is not the data set");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
    visa->viClose(manager);
}

inline void TimePyvisaPyBlockQuery(benchmark::State& state, const std::string& resource, std::size_t length)
{
    const std::string command = "/usr/bin/python3 " OSTREL_BENCH_DATA_DIR "/pyvisa_py_block.py " + resource + " " +
                                std::to_string(state.max_iterations) + " " + std::to_string(length);
    FILE* const times = ::popen(command.c_str(), "r");
    if (!times) {
        state.SkipWithError("cannot run pyvisa-py");
        return;
    }
    for (auto _ : state) {
        double seconds = 0;
        if (std::fscanf(times, "%lf", &seconds) != 1) {
            state.SkipWithError("pyvisa-py did not read the block");
            break;
        }
        state.SetIterationTime(seconds);
    }
    ::pclose(times);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * length));
}
