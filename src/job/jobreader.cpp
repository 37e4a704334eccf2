#include "job/jobreader.h"

namespace velkar {

JobHeader ReadJobHeader(JobReader& reader, JobRecord& work) {
    JobHeader h;
    reader.Read(work);
    h.count = work;
    reader.Read(work);
    h.min = work;
    reader.Read(work);
    h.max = work;
    h.valid = h.count.code == RecHeaderCount && h.min.code == RecHeaderMin && h.max.code == RecHeaderMax;
    return h;
}

}  // namespace velkar
