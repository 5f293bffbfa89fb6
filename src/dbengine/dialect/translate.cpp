// translate(): parse, then plan the statement by its kind.
#include "dialect.h"

#include "parser.h"
#include "planner.h"

namespace dbe::dialect {

Statement translate(const QString& text, const SchemaProvider& schema)
{
    ParsedStatement parsed = parse(text);
    Emitter emitter(schema, text);
    switch (parsed.kind) {
    case Statement::Select: {
        Statement st;
        st.kind = Statement::Select;
        st.select = planSelect(*parsed.select, emitter);
        emitter.finish();
        if (!st.select.sources.isEmpty())
            st.table = st.select.sources.first().table;
        return st;
    }
    case Statement::Update:
        return planUpdate(*parsed.update, emitter);
    case Statement::Delete: {
        Statement st = planDelete(*parsed.remove, emitter);
        emitter.finish();
        return st;
    }
    case Statement::Insert:
        return planInsert(*parsed.insert, emitter);
    default:
        return planDefinition(std::move(parsed.ddl), schema);
    }
}

}  // namespace dbe::dialect
