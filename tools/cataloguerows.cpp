#include "cataloguerows.h"

#include "catalogue/tabledefinitions.h"

namespace tabletool {

void fillCatalogue(NewTableFolder &tables, const std::vector<FlowerRow> &flowers,
                   const std::vector<SymptomRow> &symptoms, const std::vector<LinkRow> &links)
{
    fillRows(tables, catalogue::floresDef(), flowers, [](store::Statement &st, const FlowerRow &f) {
        st.bindInt(1, f.key);
        st.bindText(2, f.system);
        for (int n = 0; n < 3; ++n)
            bindTextOrNull(st, 3 + n, f.names[n]);
        for (int n = 0; n < 3; ++n)
            bindTextOrNull(st, 6 + n, f.memos[n]);
        if (f.photo.isEmpty())
            st.bindNull(9);
        else
            st.bindBlob(9, f.photo);
    });
    fillRows(tables, catalogue::sintomasDef(), symptoms, [](store::Statement &st, const SymptomRow &s) {
        st.bindInt(1, s.key);
        bindTextOrNull(st, 2, s.name);
        bindIntOrNull(st, 3, s.order);
    });
    fillRows(tables, catalogue::relDef(), links, [](store::Statement &st, const LinkRow &l) {
        st.bindInt(1, l.flower);
        st.bindInt(2, l.symptom);
        bindIntOrNull(st, 3, l.order);
    });
}

} // namespace tabletool
