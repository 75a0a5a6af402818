#include "shell/OrvelLeaf.hpp"

namespace orvel::OrvelLeaf {

const QPainterPath& path() {
    static const QPainterPath leaf = [] {
        QPainterPath p;
        p.setFillRule(Qt::WindingFill);
        p.moveTo(5, 19);
        p.cubicTo(5, 11, 10, 5, 19.5, 4.5);
        p.cubicTo(19.8, 13.5, 13.5, 19.2, 5, 19);
        p.closeSubpath();
        return p;
    }();
    return leaf;
}

}  // namespace orvel::OrvelLeaf
