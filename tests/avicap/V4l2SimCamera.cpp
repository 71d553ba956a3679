#include "avicap/V4l2SimCamera.h"

namespace {

// As a kernel driver sizes them: NV12 and the 4:2:0 planes have rows of one byte a pixel.
uint32_t strideOf(uint32_t fourcc, int width)
{
    switch (fourcc) {
    case V4L2_PIX_FMT_MJPEG: return 0;
    case V4L2_PIX_FMT_NV12:
    case V4L2_PIX_FMT_YUV420:
    case V4L2_PIX_FMT_GREY: return uint32_t(width);
    case V4L2_PIX_FMT_RGB24:
    case V4L2_PIX_FMT_BGR24: return uint32_t(width * 3);
    default: return uint32_t(width * 2);
    }
}

uint32_t frameBytes(uint32_t fourcc, int width, int height)
{
    if (fourcc == V4L2_PIX_FMT_MJPEG)
        return uint32_t(width * height * 3 + 4096);   // room for any JPEG of that size
    if (fourcc == V4L2_PIX_FMT_NV12 || fourcc == V4L2_PIX_FMT_YUV420)
        return uint32_t(width * height * 3 / 2);
    return strideOf(fourcc, width) * uint32_t(height);
}

void copyName(uint8_t* field, size_t size, const std::string& text)
{
    std::memset(field, 0, size);
    std::memcpy(field, text.data(), std::min(size, text.size()));   // may fill it unterminated
}

}  // namespace

int SimV4l2::ioctl(int fd, unsigned long request, void* arg)
{
    std::lock_guard lock(mutex);
    SimNode* n = nodeOf(fd);
    if (!n)
        return fail(EBADF);
    if (!n->plugged)
        return fail(ENODEV);
    return handle(*n, request, arg);
}

int SimV4l2::handle(SimNode& n, unsigned long request, void* arg)
{
    switch (request) {
    case VIDIOC_QUERYCAP: {
        auto* caps = static_cast<v4l2_capability*>(arg);
        *caps = {};
        copyName(caps->card, sizeof caps->card, n.card);
        copyName(caps->driver, sizeof caps->driver, n.driver);
        copyName(caps->bus_info, sizeof caps->bus_info, n.busInfo);
        caps->version = (1 << 16) | (2 << 8) | 3;
        caps->device_caps = n.caps;
        caps->capabilities = n.caps | V4L2_CAP_DEVICE_CAPS | V4L2_CAP_META_CAPTURE;
        return 0;
    }
    case VIDIOC_ENUM_FMT: {
        auto* desc = static_cast<v4l2_fmtdesc*>(arg);
        if (n.endlessFormats) {
            desc->pixelformat = n.formats[0].fourcc;
            return 0;
        }
        if (desc->index >= n.formats.size())
            return fail(EINVAL);
        desc->pixelformat = n.formats[desc->index].fourcc;
        return 0;
    }
    case VIDIOC_ENUM_FRAMESIZES: {
        auto* e = static_cast<v4l2_frmsizeenum*>(arg);
        for (const SimFormat& f : n.formats)
            if (f.fourcc == e->pixel_format) {
                if (f.stepwise && e->index == 0) {
                    e->type = V4L2_FRMSIZE_TYPE_STEPWISE;
                    e->stepwise = {uint32_t(f.sizes[0].first), uint32_t(f.sizes[1].first), 8,
                                   uint32_t(f.sizes[0].second), uint32_t(f.sizes[1].second), 8};
                    return 0;
                }
                if (f.stepwise || e->index >= f.sizes.size())
                    return fail(EINVAL);
                e->type = V4L2_FRMSIZE_TYPE_DISCRETE;
                e->discrete = {uint32_t(f.sizes[e->index].first), uint32_t(f.sizes[e->index].second)};
                return 0;
            }
        return fail(EINVAL);
    }
    case VIDIOC_ENUM_FRAMEINTERVALS: {
        auto* e = static_cast<v4l2_frmivalenum*>(arg);
        for (const SimFormat& f : n.formats)
            if (f.fourcc == e->pixel_format && e->index < f.rates.size()) {
                e->type = V4L2_FRMIVAL_TYPE_DISCRETE;
                e->discrete = {1, uint32_t(f.rates[e->index])};
                return 0;
            }
        return fail(EINVAL);
    }
    case VIDIOC_G_FMT:
    case VIDIOC_S_FMT:
    case VIDIOC_TRY_FMT: {
        auto* format = static_cast<v4l2_format*>(arg);
        v4l2_pix_format& pix = format->fmt.pix;
        if (request == VIDIOC_G_FMT) {
            if (n.fourcc == 0)
                return fail(EINVAL);
            pix = {};
            pix.width = uint32_t(n.width);
            pix.height = uint32_t(n.height);
            pix.pixelformat = n.fourcc;
            pix.bytesperline = n.bytesPerLine;
            pix.sizeimage = frameBytes(n.fourcc, n.width, n.height);
            return 0;
        }
        if ((n.streaming || n.heldElsewhere) && request == VIDIOC_S_FMT)
            return fail(EBUSY);
        auto f = std::find_if(n.formats.begin(), n.formats.end(),
                              [&](const SimFormat& s) { return s.fourcc == pix.pixelformat; });
        if (f == n.formats.end())
            f = n.formats.begin();
        pix.pixelformat = f->fourcc;
        if (!f->stepwise && std::find(f->sizes.begin(), f->sizes.end(),
                                      std::pair<int, int>(int(pix.width), int(pix.height))) ==
                                f->sizes.end()) {
            pix.width = uint32_t(f->sizes[0].first);
            pix.height = uint32_t(f->sizes[0].second);
        }
        pix.bytesperline = strideOf(f->fourcc, int(pix.width));
        if (request == VIDIOC_S_FMT) {
            n.fourcc = pix.pixelformat;
            n.width = int(pix.width);
            n.height = int(pix.height);
            n.bytesPerLine = pix.bytesperline;
        }
        return 0;
    }
    case VIDIOC_G_PARM:
    case VIDIOC_S_PARM: {
        auto* parm = static_cast<v4l2_streamparm*>(arg);
        if (request == VIDIOC_S_PARM) {
            ++n.sParms;
            n.interval = parm->parm.capture.timeperframe;
        }
        parm->parm.capture.capability = V4L2_CAP_TIMEPERFRAME;
        parm->parm.capture.timeperframe = n.interval;
        return 0;
    }
    case VIDIOC_REQBUFS: {
        auto* r = static_cast<v4l2_requestbuffers*>(arg);
        if (n.streaming || n.heldElsewhere)
            return fail(EBUSY);
        if (n.grantedBuffers)
            r->count = n.grantedBuffers;
        n.buffers.assign(r->count, std::vector<uint8_t>(n.bufferBytes ? n.bufferBytes
                                                                      : frameBytes(n.fourcc, n.width, n.height)));
        n.queued.clear();
        n.done.clear();
        return 0;
    }
    case VIDIOC_QUERYBUF:
    case VIDIOC_QBUF: {
        auto* b = static_cast<v4l2_buffer*>(arg);
        if (b->index >= n.buffers.size())
            return fail(EINVAL);
        b->length = uint32_t(n.buffers[b->index].size());
        b->m.offset = b->index;
        if (request == VIDIOC_QBUF)
            n.queued.push_back(b->index);
        return 0;
    }
    case VIDIOC_DQBUF: {
        auto* b = static_cast<v4l2_buffer*>(arg);
        if (n.dqbufErrno)
            return fail(n.dqbufErrno);
        if (n.done.empty())
            return fail(EAGAIN);
        b->index = n.done.front();
        n.done.pop_front();
        b->bytesused = n.bytesUsed[b->index];
        if (n.badIndex)
            b->index = 999;
        b->flags = 0;
        return 0;
    }
    case VIDIOC_STREAMON:
        if (n.heldElsewhere)
            return fail(EBUSY);
        if (n.streamOnErrno)
            return fail(n.streamOnErrno);
        ++n.streamOns;
        n.streaming = true;
        return 0;
    case VIDIOC_STREAMOFF:
        n.streaming = false;
        n.queued.clear();
        n.done.clear();
        return 0;
    case VIDIOC_QUERYCTRL: {
        auto* q = static_cast<v4l2_queryctrl*>(arg);
        bool next = q->id & V4L2_CTRL_FLAG_NEXT_CTRL;
        uint32_t id = q->id & ~V4L2_CTRL_FLAG_NEXT_CTRL;
        for (const SimControl& c : n.controls)
            if (next ? c.query.id > id : c.query.id == id) {
                *q = c.query;
                return 0;
            }
        return fail(EINVAL);
    }
    case VIDIOC_QUERYMENU: {
        auto* m = static_cast<v4l2_querymenu*>(arg);
        for (const SimControl& c : n.controls)
            if (c.query.id == m->id && c.menu.count(m->index)) {
                copyName(m->name, sizeof m->name, c.menu.at(m->index));
                return 0;
            }
        return fail(EINVAL);
    }
    case VIDIOC_G_CTRL:
    case VIDIOC_S_CTRL: {
        auto* v = static_cast<v4l2_control*>(arg);
        for (SimControl& c : n.controls)
            if (c.query.id == v->id) {
                if (request == VIDIOC_G_CTRL)
                    v->value = c.value;
                else if (c.query.type != V4L2_CTRL_TYPE_BUTTON &&
                         (v->value < c.query.minimum || v->value > c.query.maximum))
                    return fail(ERANGE);
                else
                    c.value = v->value;
                return 0;
            }
        return fail(EINVAL);
    }
    case VIDIOC_ENUMINPUT: {
        auto* in = static_cast<v4l2_input*>(arg);
        if (in->index >= n.inputs.size())
            return fail(EINVAL);
        copyName(in->name, sizeof in->name, n.inputs[in->index]);
        return 0;
    }
    case VIDIOC_G_INPUT:
        *static_cast<int*>(arg) = n.input;
        return 0;
    case VIDIOC_S_INPUT: {
        int index = *static_cast<int*>(arg);
        if (n.streaming)
            return fail(EBUSY);
        if (index < 0 || size_t(index) >= n.inputs.size())
            return fail(EINVAL);
        n.input = index;
        return 0;
    }
    default:
        return fail(ENOTTY);
    }
}
