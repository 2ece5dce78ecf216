#pragma once

// The S-parameter devices of a data set as an XML file.

#include <QString>

class CTamrix;

// Writes all devices of `dataSet` to `path`. The document is written to a
// temporary file beside the target, which replaces the target only when it is
// complete; on failure the target stays as it was and the temporary file is
// gone. Throws TvxKyyCalcDLLError (code 2, the path as context) on failure.
void ExportSParaToFile(const CTamrix& dataSet, const QString& path);

// Replaces the device list of `dataSet` with the devices in the file at `path`,
// or changes nothing. Throws TvxKyyCalcDLLError with the path as context: code 1
// when the path is not a readable regular file, the library's codes for a
// document it refuses.
void ImportSParaFromFile(CTamrix& dataSet, const QString& path);
