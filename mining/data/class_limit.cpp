#include "data/class_limit.h"

#include <string>

#include "data/text_fields.h"

namespace mining {

Status checkClassColumn(const Dataset& data) {
    const std::size_t classes = data.classCount();
    const std::string column = "the class column " + quoteForMessage(data.className());
    const std::string choose = "; choose the class with --class NAME or --class NUMBER";
    if (classes > kMaxClasses)
        return Status::failure(column + " holds " + std::to_string(classes) +
                               " different values, more than the " + std::to_string(kMaxClasses) +
                               " classes a run learns" + choose);
    const std::size_t records = data.recordsInAll();
    if (records >= kIdentifierClassRecords && classes == records)
        return Status::failure(column + " holds a different value in every one of its " +
                               std::to_string(classes) + " records, as an identifier does" +
                               choose);
    return Status();
}

}  // namespace mining
