#pragma once

#include <optional>
#include <string>

// A sample data set ("factory_v3.cal", "user_v3.cal", ...) made out to one
// sensor: its sensor name becomes the model, its serial number the sensor's,
// its stock number `stock` when given; stored in the sample's format.
// Throws std::runtime_error for a sample that does not exist.
std::string SampleDataFor(const std::string& sampleName, const std::string& model, const std::string& serial,
                          const std::optional<std::string>& stock = std::nullopt);
