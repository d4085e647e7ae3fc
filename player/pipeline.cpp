#include "player/pipeline.h"

#include <QFileInfo>
#include <gst/gst.h>

using namespace Qt::StringLiterals;

namespace syj {

namespace {

// playbin3 rather than playbin: it finds the file's type on the stream's own
// threads, where playbin reads the file on the thread that opens it.
constexpr char kPlayer[] = "playbin3";
// Sound only, with the volume applied to the samples, the same on every
// output.
constexpr guint kAudioOnly = 0x2 | 0x10;

GstClockTime toClockTime(qint64 ms)
{
    return ms < 0 ? GST_CLOCK_TIME_NONE : static_cast<GstClockTime>(ms) * GST_MSECOND;
}

// What a writer is told when a file cannot be played, from GStreamer's own
// reason; its words, terse and English, follow in brackets.
QString failureReason(const GError *error)
{
    struct Reason {
        GQuark domain;
        int code;
        const char16_t *text;
    };
    const Reason reasons[] = {
        {GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_NOT_FOUND, u"找不到文件"},
        {GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_OPEN_READ, u"无法读取此文件"},
        {GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_READ, u"无法读取此文件"},
        {GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_NOT_AUTHORIZED, u"无法读取此文件"},
        {GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_OPEN_WRITE, u"无法打开声音输出"},
        {GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_OPEN_READ_WRITE, u"无法打开声音输出"},
        {GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_WRITE, u"无法打开声音输出"},
        {GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_BUSY, u"无法打开声音输出"},
        {GST_STREAM_ERROR, GST_STREAM_ERROR_TYPE_NOT_FOUND, u"无法识别此文件的格式"},
        {GST_STREAM_ERROR, GST_STREAM_ERROR_CODEC_NOT_FOUND, u"缺少播放此文件的解码器"},
        {GST_CORE_ERROR, GST_CORE_ERROR_MISSING_PLUGIN, u"缺少播放此文件的解码器"},
    };
    QString reason = u"文件已损坏、不是音频文件，或缺少相应的解码器"_s;
    for (const Reason &r : reasons) {
        if (error->domain == r.domain && error->code == r.code)
            reason = QString::fromUtf16(r.text);
    }
    if (error->message && *error->message)
        reason += u"（"_s + QString::fromUtf8(error->message) + u"）"_s;
    return reason;
}

// Why a local file cannot be opened at all; empty if it can be tried.
QString localFileProblem(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return u"找不到文件"_s;
    if (!info.isFile())
        return u"不是一个文件"_s;
    if (!info.isReadable())
        return u"没有读取此文件的权限"_s;
    return QString();
}

// Called on the thread that posts the message: what the player needs, handed
// on at once; nothing is kept on the bus.
GstBusSyncReply onMessage(GstBus *, GstMessage *message, gpointer data)
{
    const auto &deliver = *static_cast<Pipeline::Deliver *>(data);
    using Kind = Pipeline::Event::Kind;
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_ASYNC_DONE:
        if (GST_IS_PIPELINE(GST_MESSAGE_SRC(message)))
            deliver({Kind::Prerolled, QString()});
        break;
    case GST_MESSAGE_EOS:
        deliver({Kind::Ended, QString()});
        break;
    case GST_MESSAGE_DURATION_CHANGED:
        deliver({Kind::DurationChanged, QString()});
        break;
    case GST_MESSAGE_ERROR: {
        GError *error = nullptr;
        gchar *details = nullptr;
        gst_message_parse_error(message, &error, &details);
        deliver({Kind::Failed, failureReason(error)});
        g_error_free(error);
        g_free(details);
        break;
    }
    default:
        break;
    }
    return GST_BUS_DROP;
}

void forget(gpointer data)
{
    delete static_cast<Pipeline::Deliver *>(data);
}

} // namespace

struct Pipeline::Shared {
    GstElement *player = nullptr;
    std::unique_ptr<SeamlessLoop> loop;
    Deliver deliver;
    // The loop the reader is sent back through (start -1: none), and the
    // speed it plays at; only the command thread uses them.
    qint64 loopStartMs = -1;
    qint64 loopEndMs = -1;
    double rate = 1.0;

    ~Shared()
    {
        loop.reset();
        if (player)
            gst_object_unref(player);
    }

    // The next round of the loop, once the reader has given out the end of
    // the last one: a seek without a flush, so that the sound already on its
    // way plays on. Skipped if a flush has come through since (a cue).
    void goRound(unsigned flushes)
    {
        if (loop->flushes() != flushes || loopStartMs < 0)
            return;
        gst_element_seek(player, rate, GST_FORMAT_TIME,
                         GstSeekFlags(GST_SEEK_FLAG_SEGMENT | GST_SEEK_FLAG_ACCURATE),
                         GST_SEEK_TYPE_SET, toClockTime(loopStartMs), GST_SEEK_TYPE_SET,
                         toClockTime(loopEndMs));
    }
};

Pipeline::Pipeline(const QString &url, const QString &localFile, Deliver deliver)
    : m_localFile(localFile)
{
    if (!gst_init_check(nullptr, nullptr, nullptr))
        return;
    GstElement *player = gst_element_factory_make(kPlayer, nullptr);
    GstElement *output = gst_element_factory_make("autoaudiosink", nullptr);
    // The tempo filter, in a bin with the converters it needs before it.
    GstElement *filter = gst_parse_bin_from_description(
        "audioconvert ! audioresample ! scaletempo name=tempo", TRUE, nullptr);
    if (!player || !output || !filter) {
        for (GstElement *e : {player, output, filter}) {
            if (e)
                gst_object_unref(gst_object_ref_sink(e));
        }
        return;
    }
    const QByteArray uri = url.toUtf8();
    g_object_set(player, "uri", uri.constData(), "flags", kAudioOnly, "audio-filter", filter,
                 "audio-sink", output, nullptr);
    GstElement *tempo = gst_bin_get_by_name(GST_BIN(filter), "tempo");
    GstPad *tempoIn = gst_element_get_static_pad(tempo, "sink");
    gst_object_unref(tempo);

    m_shared = std::make_shared<Shared>();
    m_shared->player = GST_ELEMENT(gst_object_ref_sink(player));
    m_shared->deliver = deliver;
    m_shared->loop = std::make_unique<SeamlessLoop>(tempoIn);
    gst_object_unref(tempoIn);
    // Called on the stream's thread; never after ~Pipeline has begun.
    m_shared->loop->setOnSegmentEnd(
        [commands = &m_commands, weak = std::weak_ptr<Shared>(m_shared)](unsigned flushes) {
            if (const std::shared_ptr<Shared> shared = weak.lock())
                commands->post([shared, flushes] { shared->goRound(flushes); });
        });

    GstBus *bus = gst_element_get_bus(m_shared->player);
    gst_bus_set_sync_handler(bus, onMessage, new Deliver(std::move(deliver)), forget);
    gst_object_unref(bus);
}

Pipeline::~Pipeline()
{
    finish(0);
}

void Pipeline::finish(int waitMs)
{
    if (m_shared) {
        m_shared->loop->stopCalling();
        GstBus *bus = gst_element_get_bus(m_shared->player);
        gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
        gst_object_unref(bus);
        m_commands.post([shared = std::move(m_shared)] {
            gst_element_set_state(shared->player, GST_STATE_NULL);
        });
    }
    m_commands.finish(waitMs);
}

void Pipeline::open()
{
    if (!m_shared)
        return;
    m_commands.post([shared = m_shared, file = m_localFile] {
        // Even looking at a file can hang (a network mount that stopped
        // answering), so it is done here, not on the window's thread.
        if (!file.isEmpty()) {
            const QString problem = localFileProblem(file);
            if (!problem.isEmpty()) {
                shared->deliver({Event::Kind::Failed, problem});
                return;
            }
        }
        if (gst_element_set_state(shared->player, GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE)
            shared->deliver({Event::Kind::Failed, u"无法打开此文件"_s});
    });
}

void Pipeline::setPlaying(bool playing)
{
    const GstState state = playing ? GST_STATE_PLAYING : GST_STATE_PAUSED;
    if (m_shared)
        m_commands.post(
            [shared = m_shared, state] { gst_element_set_state(shared->player, state); });
}

void Pipeline::seek(qint64 fromMs, double rate, qint64 loopStartMs, qint64 loopEndMs)
{
    if (!m_shared)
        return;
    m_commands.post([shared = m_shared, fromMs, rate, loopStartMs, loopEndMs] {
        shared->loopStartMs = loopStartMs;
        shared->loopEndMs = loopEndMs;
        shared->rate = rate;
        const bool loops = loopStartMs >= 0;
        // Without a loop, to the end of the media: a loop's end must not stay.
        gst_element_seek(shared->player, rate, GST_FORMAT_TIME,
                         GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE |
                                      (loops ? GST_SEEK_FLAG_SEGMENT : 0)),
                         GST_SEEK_TYPE_SET, toClockTime(std::max<qint64>(fromMs, 0)),
                         GST_SEEK_TYPE_SET, toClockTime(loops ? loopEndMs : -1));
    });
}

void Pipeline::setOutput(double gain, bool muted)
{
    if (m_shared)
        m_commands.post([shared = m_shared, gain, muted] {
            g_object_set(shared->player, "volume", gain, "mute", gboolean(muted), nullptr);
        });
}

Pipeline::Heard Pipeline::heard() const
{
    Heard heard;
    gint64 at = -1;
    if (!m_shared || !gst_element_query_position(m_shared->player, GST_FORMAT_TIME, &at) || at < 0)
        return heard;
    heard.placeMs = m_shared->loop->filePlace(at) / GST_MSECOND;
    const SeamlessLoop::Turns turns = m_shared->loop->turnsHeardBy(at);
    heard.turns = turns.count;
    if (turns.lastFromNs >= 0)
        heard.lastTurnFromMs = turns.lastFromNs / GST_MSECOND;
    return heard;
}

qint64 Pipeline::durationMs() const
{
    gint64 length = -1;
    if (!m_shared || !gst_element_query_duration(m_shared->player, GST_FORMAT_TIME, &length) ||
        length < 0)
        return -1;
    return length / GST_MSECOND;
}

} // namespace syj
