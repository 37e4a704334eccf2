#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "job/jobrecord.h"
#include "split/pipelinefiles.h"

namespace velkar {

// Turns a DM/PL-style plotter file (the multi-knife type) into the job file at
// `job`: converted, split per knife, each knife's paths ordered, and joined as
// RecJobStart, then for each knife present in ascending order a RecKnife (x =
// knife) followed by its records, then one RecPathEnd. The orientation flag is 1;
// the box covers the copied records only.
//
// count ends as the number of records in the job (headers included). flavour is
// handed to the converter. Returns ConversionDone, or ConversionFileFailed when
// a stage cannot open a file. Raises TempDirError when the private temporary
// directory is unusable or another conversion holds it longer than
// PipelineFiles::DefaultWait, and FileError on a failed read, write or rename.
// Whatever the outcome, the job file is either complete or keeps its previous
// content, and no temporary file remains.
ConversionResult ConvertMultiKnifeJob(std::string source, std::string job, std::int32_t& count, int flavour);

// The first stage: writes the converted job (a PT1 file with headers) to
// `convertedJob` and sets count to its record count.
using ConvertStage = std::function<ConversionResult(const std::string& convertedJob, std::int32_t& count)>;

// How each knife's paths are ordered: chained and sorted in bands, or for the
// shortest knife-up travel (CTravelOrdering).
enum class PathOrder { Bands, Travel };

// ConvertMultiKnifeJob with its first stage, lock wait and ordering given (tests
// feed hand-made converted jobs through it). Same results and guarantees.
ConversionResult RunMultiKnifePipeline(const ConvertStage& convert, const std::string& job, std::int32_t& count,
                                       std::chrono::milliseconds lockWait = PipelineFiles::DefaultWait,
                                       PathOrder order = PathOrder::Bands);

// Converts with convert straight into `job` when order is empty, else through
// the per-knife split and that ordering. Returns the converter's result when the
// conversion failed, else the pipeline's; orderingFailed tells that the
// conversion succeeded and the ordering did not, so callers can say which.
ConversionResult ConvertInOrder(const ConvertStage& convert, const std::string& job, std::int32_t& count,
                                std::optional<PathOrder> order, bool& orderingFailed);

}  // namespace velkar
