// Many clients refreshing in a loop against one real calendar server: each
// client thread runs the client's whole load sequence (server check, GET 1,
// GET 2, GET 3) through its own ScheduleStore, over and over until the time
// is up, while the server's resident memory is sampled once a second.
#pragma once

#include "tests/support/CalendarServerProcess.h"

#include <string>
#include <vector>

struct LoadSoakOptions {
    int clients = 20;
    int seconds = 180;
    // What every complete load must bring.
    size_t schedules = 0;
    size_t minimumCategories = 1;
};

struct LoadSoakResult {
    int loads = 0;   // completed load sequences, all clients together
    int errors = 0;  // message boxes shown plus loads that brought the wrong counts
    std::vector<std::string> firstErrors;
    std::vector<double> loadMilliseconds;  // one per load, in no order
    long residentAtStartKb = 0;            // before the first request
    // The warm-up lasts until every client has completed its first load.
    long residentWarmKb = 0;         // highest during the warm-up
    long residentAfterWarmUpKb = 0;  // highest after the warm-up
    long residentLastKb = 0;  // the last sample
    int samples = 0;          // samples read after the warm-up
};

// Runs the soak against `server` (started by the caller) and returns when
// every client has finished its last load.
LoadSoakResult RunLoadSoak(const CalendarServerProcess& server, const LoadSoakOptions& options);

// The value at `share` (0..1) of the sorted values; 0 for none.
double Percentile(std::vector<double> values, double share);
