#include "data/column_choice.h"

#include "data/text_fields.h"

namespace mining {

Result<ChosenColumns> chooseFields(const std::vector<std::string>& fields,
                                   const ColumnChoice& choice, const std::string& where) {
    using R = Result<ChosenColumns>;
    const std::size_t count = fields.size();
    ChosenColumns chosen;
    chosen.classField = choice.classAbsent ? count : findColumn(choice.classColumn, fields);
    if (chosen.classField >= count && !choice.classAbsent)
        return R::failure(
            "--class " + quoteForMessage(choice.classColumn) + " names no column of " + where,
            ErrorKind::Usage);
    chosen.ignored.assign(count, false);
    for (const std::string& wanted : choice.ignore) {
        const bool word = !wanted.empty() && wanted != "last";
        const std::size_t j = word ? findColumn(wanted, fields) : count;
        if (j < count && j == chosen.classField)
            return R::failure(
                "--ignore " + quoteForMessage(wanted) + " names the class column of " + where,
                ErrorKind::Usage);
        if (j >= count)
            return R::failure(
                "--ignore " + quoteForMessage(wanted) + " names no column of " + where,
                ErrorKind::Usage);
        chosen.ignored[j] = true;
    }
    return chosen;
}

}  // namespace mining
