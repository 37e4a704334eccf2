#include "render/jobpicture.h"

namespace velkar {

RenderOutcome CJobPicture::Draw(QPainter& painter, const QRect& exposed) {
    return CJobRenderer::Draw(painter, m_settings, exposed);
}

}  // namespace velkar
