#include "scanner.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QProgressDialog>
#include <QPushButton>
#include <QVBoxLayout>

#include <sane/sane.h>
#include <sane/saneopts.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <thread>

#include "dialogs/form_support.h"
#include "dialogs/ui_services.h"
#include "core/error.h"

namespace lumavex {

namespace {

// The scanner chosen in the source selection, for the rest of the run.
std::string& rememberedSource()
{
    static std::string name;
    return name;
}

const QString kNoScanner = QStringLiteral("スキャナが見つかりません。");

[[noreturn]] void fail(ErrorKind kind, const std::string& message)
{
    throw Error(kind, message);
}

std::string statusText(SANE_Status status)
{
    return sane_strstatus(status);
}

// sane_init ... sane_exit around one piece of work.
class SaneSession {
public:
    SaneSession()
    {
        SANE_Int version = 0;
        const SANE_Status status = sane_init(&version, nullptr);
        if (status != SANE_STATUS_GOOD)
            fail(ErrorKind::File,
                 "スキャナのシステム（SANE）を開始できません: " + statusText(status));
    }
    ~SaneSession() { sane_exit(); }
    SaneSession(const SaneSession&) = delete;
    SaneSession& operator=(const SaneSession&) = delete;
};

// Backends read the scanner in threads of their own that write into a pipe; when a scan ends
// early they can write into a closed pipe, and SIGPIPE would end the whole program. Threads
// started while this guard lives inherit a mask that blocks it (their writes fail with EPIPE
// instead); a SIGPIPE left pending for this thread is taken off before the mask is restored.
class SigpipeBlock {
public:
    SigpipeBlock()
    {
        sigemptyset(&m_pipe);
        sigaddset(&m_pipe, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &m_pipe, &m_old);
    }
    ~SigpipeBlock()
    {
        const timespec now{0, 0};
        while (sigtimedwait(&m_pipe, nullptr, &now) == SIGPIPE) {
        }
        pthread_sigmask(SIG_SETMASK, &m_old, nullptr);
    }
    SigpipeBlock(const SigpipeBlock&) = delete;
    SigpipeBlock& operator=(const SigpipeBlock&) = delete;

private:
    sigset_t m_pipe;
    sigset_t m_old;
};

// Many backends read the scanner in a thread of their own and stop it with an asynchronous
// cancellation when the scan ends or is cancelled. Cancelled while it is inside the allocator
// (starting up, or freeing its buffers after the last line), that thread leaves the allocator
// locked and the next scan hangs. Before the calls that stop it, the reader gets a moment to
// reach a safe point: a blocking write, or its end.
void letReaderFinish()
{
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

class SaneDevice {
public:
    explicit SaneDevice(const std::string& name) : m_name(name)
    {
        const SANE_Status status = sane_open(name.c_str(), &m_handle);
        if (status != SANE_STATUS_GOOD)
            fail(ErrorKind::File, "スキャナ '" + name + "' を開けません: " + statusText(status));
    }
    ~SaneDevice()
    {
        if (m_scanning) {
            letReaderFinish();
            sane_cancel(m_handle);
        }
        sane_close(m_handle);
    }
    SaneDevice(const SaneDevice&) = delete;
    SaneDevice& operator=(const SaneDevice&) = delete;

    SANE_Handle handle() const { return m_handle; }
    const std::string& name() const { return m_name; }
    void setScanning(bool scanning) { m_scanning = scanning; }

    /// The index of an active option by name, or -1.
    int findOption(const char* optionName) const
    {
        const SANE_Option_Descriptor* count = sane_get_option_descriptor(m_handle, 0);
        SANE_Int n = 0;
        if (!count || sane_control_option(m_handle, 0, SANE_ACTION_GET_VALUE, &n, nullptr) !=
                          SANE_STATUS_GOOD)
            return -1;
        for (int i = 1; i < n; ++i) {
            const SANE_Option_Descriptor* d = sane_get_option_descriptor(m_handle, i);
            if (d && d->name && std::strcmp(d->name, optionName) == 0 &&
                SANE_OPTION_IS_ACTIVE(d->cap) && SANE_OPTION_IS_SETTABLE(d->cap))
                return i;
        }
        return -1;
    }

    const SANE_Option_Descriptor* descriptor(int option) const
    {
        return sane_get_option_descriptor(m_handle, option);
    }

    void setValue(int option, void* value, const char* optionName)
    {
        SANE_Int info = 0;
        const SANE_Status status =
            sane_control_option(m_handle, option, SANE_ACTION_SET_VALUE, value, &info);
        if (status != SANE_STATUS_GOOD)
            fail(ErrorKind::BadArgument, "スキャナ '" + m_name + "' の設定 '" + optionName +
                                             "' を変更できません: " + statusText(status));
    }

private:
    std::string m_name;
    SANE_Handle m_handle = nullptr;
    bool m_scanning = false;
};

bool sameIgnoringCase(const std::string& a, const char* b)
{
    return QString::fromStdString(a).compare(QString::fromUtf8(b), Qt::CaseInsensitive) == 0;
}

// A string option set to one of its listed values (matched without regard to case), or to the
// text as given when the device lists none.
void setStringOption(SaneDevice& device, int option, const std::string& value,
                     const char* optionName)
{
    const SANE_Option_Descriptor* d = device.descriptor(option);
    std::string chosen = value;
    if (d->constraint_type == SANE_CONSTRAINT_STRING_LIST) {
        for (const SANE_String_Const* s = d->constraint.string_list; *s; ++s) {
            if (sameIgnoringCase(value, *s)) {
                chosen = *s;
                break;
            }
        }
    }
    std::vector<char> buffer(std::max<size_t>(d->size, chosen.size() + 1), '\0');
    std::memcpy(buffer.data(), chosen.c_str(), chosen.size());
    device.setValue(option, buffer.data(), optionName);
}

// The nearest value a word option accepts: clamped into its range (on its step) or the nearest
// entry of its list.
SANE_Word nearestWord(const SANE_Option_Descriptor* d, SANE_Word wanted)
{
    if (d->constraint_type == SANE_CONSTRAINT_RANGE) {
        const SANE_Range* r = d->constraint.range;
        SANE_Word v = std::clamp(wanted, r->min, r->max);
        if (r->quant > 0) {
            const int64_t steps =
                (int64_t{v} - r->min + r->quant / 2) / static_cast<int64_t>(r->quant);
            v = static_cast<SANE_Word>(std::min<int64_t>(r->min + steps * r->quant, r->max));
        }
        return v;
    }
    if (d->constraint_type == SANE_CONSTRAINT_WORD_LIST && d->constraint.word_list[0] > 0) {
        const SANE_Word* list = d->constraint.word_list;
        SANE_Word best = list[1];
        for (int i = 1; i <= list[0]; ++i) {
            if (std::llabs(int64_t{list[i]} - wanted) < std::llabs(int64_t{best} - wanted))
                best = list[i];
        }
        return best;
    }
    return wanted;
}

void setResolution(SaneDevice& device, int dpi)
{
    const int option = device.findOption(SANE_NAME_SCAN_RESOLUTION);
    if (option < 0)
        return;
    const SANE_Option_Descriptor* d = device.descriptor(option);
    if (d->size != sizeof(SANE_Word))
        return;
    SANE_Word value;
    if (d->type == SANE_TYPE_FIXED)
        value = nearestWord(d, SANE_FIX(dpi));
    else if (d->type == SANE_TYPE_INT)
        value = nearestWord(d, dpi);
    else
        return;
    device.setValue(option, &value, SANE_NAME_SCAN_RESOLUTION);
}

// The colour mode: "Color" or the first listed mode that speaks of colour.
void setColorMode(SaneDevice& device)
{
    const int option = device.findOption(SANE_NAME_SCAN_MODE);
    if (option < 0)
        return;
    const SANE_Option_Descriptor* d = device.descriptor(option);
    if (d->type != SANE_TYPE_STRING || d->constraint_type != SANE_CONSTRAINT_STRING_LIST)
        return;
    const SANE_String_Const* list = d->constraint.string_list;
    std::string mode;
    for (const SANE_String_Const* s = list; *s && mode.empty(); ++s) {
        if (sameIgnoringCase(*s, SANE_VALUE_SCAN_MODE_COLOR))
            mode = *s;
    }
    for (const SANE_String_Const* s = list; *s && mode.empty(); ++s) {
        if (QString::fromUtf8(*s).contains(QStringLiteral("color"), Qt::CaseInsensitive))
            mode = *s;
    }
    if (!mode.empty())
        setStringOption(device, option, mode, SANE_NAME_SCAN_MODE);
}

void setNamedOption(SaneDevice& device, const std::string& name, const std::string& value)
{
    const int option = device.findOption(name.c_str());
    if (option < 0)
        return;
    const SANE_Option_Descriptor* d = device.descriptor(option);
    const QString text = QString::fromStdString(value).trimmed();
    bool ok = true;
    SANE_Word word = 0;
    switch (d->type) {
        case SANE_TYPE_STRING: setStringOption(device, option, value, name.c_str()); return;
        case SANE_TYPE_BOOL:
            word = text == QLatin1String("1") ||
                   text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 ||
                   text.compare(QLatin1String("yes"), Qt::CaseInsensitive) == 0;
            break;
        case SANE_TYPE_INT: word = text.toInt(&ok); break;
        case SANE_TYPE_FIXED: {
            const double v = text.toDouble(&ok);
            ok = ok && std::abs(v) < 32767;
            word = SANE_FIX(v);
            break;
        }
        default: return;
    }
    if (!ok)
        fail(ErrorKind::BadArgument,
             "スキャナの設定 '" + name + "' の値 '" + value + "' が不正です");
    if (d->size != sizeof(SANE_Word))
        return;
    device.setValue(option, &word, name.c_str());
}

// The bytes one line of a frame needs.
int64_t lineBytes(const SANE_Parameters& p)
{
    const int64_t samples =
        p.format == SANE_FRAME_RGB ? int64_t{p.pixels_per_line} * 3 : int64_t{p.pixels_per_line};
    return (samples * p.depth + 7) / 8;
}

// The sample of a frame line: 8 or 16 bits (host order, high byte taken), or one bit where a
// set bit is black.
uint8_t sampleAt(const uint8_t* line, int64_t index, int depth)
{
    switch (depth) {
        case 1: return (line[index / 8] >> (7 - index % 8)) & 1 ? 0 : 255;
        case 8: return line[index];
        default: {
            uint16_t v;
            std::memcpy(&v, line + index * 2, 2);
            return static_cast<uint8_t>(v >> 8);
        }
    }
}

struct Frame {
    SANE_Parameters params{};
    std::vector<uint8_t> data;
    int lines = 0;
};

class ScanProgress {
public:
    explicit ScanProgress(QWidget* parent)
    {
        if (!parent)
            return;
        m_dialog = std::make_unique<QProgressDialog>(QStringLiteral("スキャンしています..."),
                                                     QStringLiteral("キャンセル"), 0, 0, parent);
        m_dialog->setWindowTitle(QStringLiteral("スキャナ"));
        m_dialog->setWindowModality(Qt::ApplicationModal);
        m_dialog->setMinimumDuration(500);
    }
    void setTotal(int64_t bytes)
    {
        m_total = bytes;
        if (m_dialog)
            m_dialog->setMaximum(bytes > 0 ? 1000 : 0);
    }
    /// Reports progress; false when the user cancelled.
    bool update(int64_t bytes)
    {
        if (!m_dialog)
            return true;
        m_dialog->setValue(
            m_total > 0 ? static_cast<int>(std::min<int64_t>(999, bytes * 1000 / m_total)) : 0);
        QCoreApplication::processEvents();
        return !m_dialog->wasCanceled();
    }

private:
    std::unique_ptr<QProgressDialog> m_dialog;
    int64_t m_total = 0;
};

// More padding at the end of a line than any device needs means a broken description.
constexpr int64_t kMaxLinePadding = 4096;

void checkParameters(const SaneDevice& device, const SANE_Parameters& p)
{
    const bool knownFormat = p.format == SANE_FRAME_GRAY || p.format == SANE_FRAME_RGB ||
                             p.format == SANE_FRAME_RED || p.format == SANE_FRAME_GREEN ||
                             p.format == SANE_FRAME_BLUE;
    const bool knownDepth =
        p.depth == 8 || p.depth == 16 || (p.depth == 1 && p.format != SANE_FRAME_RGB);
    if (!knownFormat || !knownDepth)
        fail(ErrorKind::Unsupported, "スキャナ '" + device.name() + "' の画像形式（" +
                                         std::to_string(p.format) + "、" + std::to_string(p.depth) +
                                         " ビット）には対応していません");
    if (p.pixels_per_line <= 0 || p.pixels_per_line > kMaxSide || p.lines > kMaxSide ||
        p.bytes_per_line < lineBytes(p) || p.bytes_per_line > lineBytes(p) + kMaxLinePadding)
        fail(ErrorKind::Format,
             "スキャナ '" + device.name() + "' から届いた画像の大きさが不正です（" +
                 std::to_string(p.pixels_per_line) + " x " + std::to_string(p.lines) + "）");
}

// Reads one frame to its end. False when the user cancelled.
bool readFrame(SaneDevice& device, Frame& frame, ScanProgress& progress)
{
    SANE_Parameters& p = frame.params;
    SANE_Status status = sane_get_parameters(device.handle(), &p);
    if (status != SANE_STATUS_GOOD)
        fail(ErrorKind::File,
             "スキャナ '" + device.name() + "' の画像情報を取得できません: " + statusText(status));
    checkParameters(device, p);
    const int64_t stride = p.bytes_per_line;
    // A device that does not know its line count in advance may send lines up to the size
    // limit of a picture, and no more.
    const int64_t limitLines = std::min<int64_t>(
        kMaxSide, static_cast<int64_t>(kMaxPixelBytes / rowStride(p.pixels_per_line)));
    if (p.lines >= 0)
        checkRasterSize(p.pixels_per_line, p.lines);
    const int64_t maxBytes = stride * (p.lines >= 0 ? p.lines : limitLines);
    progress.setTotal(p.lines >= 0 ? maxBytes : 0);
    if (p.lines >= 0)
        frame.data.reserve(static_cast<size_t>(maxBytes));

    constexpr SANE_Int kChunk = 1 << 16;
    std::vector<uint8_t> chunk(kChunk);
    bool settled = false;
    for (;;) {
        // The read that completes the frame stops the backend's reader thread; let it finish
        // first (see letReaderFinish).
        if (!settled && p.lines >= 0 &&
            maxBytes - static_cast<int64_t>(frame.data.size()) <= kChunk) {
            settled = true;
            letReaderFinish();
        }
        SANE_Int length = 0;
        status = sane_read(device.handle(), chunk.data(), kChunk, &length);
        if (status == SANE_STATUS_EOF)
            break;
        if (status == SANE_STATUS_CANCELLED)
            return false;
        if (status != SANE_STATUS_GOOD)
            fail(ErrorKind::File, "スキャナ '" + device.name() +
                                      "' からの読み取りに失敗しました: " + statusText(status));
        if (length < 0 || length > kChunk)
            fail(ErrorKind::Format,
                 "スキャナ '" + device.name() + "' から不正な長さのデータが届きました");
        const int64_t room = maxBytes - static_cast<int64_t>(frame.data.size());
        if (length > room) {
            if (p.lines < 0)
                fail(ErrorKind::TooLarge,
                     "スキャナ '" + device.name() + "' から届いた画像が大きすぎます");
            // More than the announced lines: the excess is dropped.
            length = static_cast<SANE_Int>(std::max<int64_t>(0, room));
        }
        frame.data.insert(frame.data.end(), chunk.begin(), chunk.begin() + length);
        if (!progress.update(static_cast<int64_t>(frame.data.size())))
            return false;
    }
    frame.lines = static_cast<int>(static_cast<int64_t>(frame.data.size()) / stride);
    return true;
}

Raster assemble(const SaneDevice& device, const std::vector<Frame>& frames)
{
    const Frame& first = frames.front();
    const int width = first.params.pixels_per_line;
    int height = first.lines;
    for (const Frame& f : frames)
        height = std::min(height, f.lines);
    if (height <= 0)
        fail(ErrorKind::Format, "スキャナ '" + device.name() + "' から画像が届きませんでした");
    checkRasterSize(width, height);
    Raster picture(width, height);

    // Where each channel comes from: a frame and a sample step within its line.
    struct Source {
        const Frame* frame = nullptr;
        int offset = 0;
        int step = 1;
    };
    Source red, green, blue;
    for (const Frame& f : frames) {
        if (f.params.pixels_per_line != width)
            fail(ErrorKind::Format,
                 "スキャナ '" + device.name() + "' から大きさの異なる色版が届きました");
        switch (f.params.format) {
            case SANE_FRAME_RGB:
                red = {&f, 0, 3};
                green = {&f, 1, 3};
                blue = {&f, 2, 3};
                break;
            case SANE_FRAME_GRAY: red = green = blue = {&f, 0, 1}; break;
            case SANE_FRAME_RED: red = {&f, 0, 1}; break;
            case SANE_FRAME_GREEN: green = {&f, 0, 1}; break;
            case SANE_FRAME_BLUE: blue = {&f, 0, 1}; break;
            default: break;
        }
    }
    if (!red.frame || !green.frame || !blue.frame)
        fail(ErrorKind::Format,
             "スキャナ '" + device.name() + "' から一部の色版が届きませんでした");

    const Source channels[3] = {blue, green, red};  // stored order B, G, R
    for (int y = 0; y < height; ++y) {
        uint8_t* out = picture.row(y);
        for (int c = 0; c < 3; ++c) {
            const Source& s = channels[c];
            const uint8_t* line =
                s.frame->data.data() + int64_t{y} * s.frame->params.bytes_per_line;
            const int depth = s.frame->params.depth;
            if (depth == 8) {
                const uint8_t* in = line + s.offset;
                for (int x = 0; x < width; ++x, in += s.step)
                    out[3 * x + c] = *in;
            } else {
                for (int x = 0; x < width; ++x)
                    out[3 * x + c] = sampleAt(line, int64_t{x} * s.step + s.offset, depth);
            }
        }
    }
    return picture;
}

}  // namespace

std::string selectedScannerSource()
{
    return rememberedSource();
}

void setSelectedScannerSource(const std::string& deviceName)
{
    rememberedSource() = deviceName;
}

std::vector<ScannerDevice> listScanners()
{
    SaneSession session;
    const SANE_Device** list = nullptr;
    const SANE_Status status = sane_get_devices(&list, SANE_FALSE);
    if (status != SANE_STATUS_GOOD)
        fail(ErrorKind::File, "スキャナの一覧を取得できません: " + statusText(status));
    std::vector<ScannerDevice> devices;
    for (const SANE_Device** d = list; d && *d; ++d) {
        std::string description;
        for (const char* part : {(*d)->vendor, (*d)->model, (*d)->type}) {
            if (part && *part) {
                if (!description.empty())
                    description += ' ';
                description += part;
            }
        }
        devices.push_back({(*d)->name ? (*d)->name : "", description});
    }
    return devices;
}

std::optional<Raster> scanFromDevice(const std::string& deviceName, const ScanSettings& settings,
                                     QWidget* parent)
{
    SigpipeBlock noSigpipe;
    SaneSession session;
    SaneDevice device(deviceName);
    setColorMode(device);
    setResolution(device, settings.resolution);
    for (const auto& [name, value] : settings.options)
        setNamedOption(device, name, value);

    ScanProgress progress(parent);
    std::vector<Frame> frames;
    for (;;) {
        const SANE_Status status = sane_start(device.handle());
        if (status == SANE_STATUS_CANCELLED)
            return std::nullopt;
        if (status != SANE_STATUS_GOOD)
            fail(ErrorKind::File,
                 "スキャナ '" + deviceName + "' で読み取りを開始できません: " + statusText(status));
        device.setScanning(true);
        Frame& frame = frames.emplace_back();
        if (!readFrame(device, frame, progress))
            return std::nullopt;
        // Three-pass scanners send red, green and blue one after another.
        if (frame.params.last_frame || frames.size() >= 3)
            break;
    }
    device.setScanning(false);
    sane_cancel(device.handle());
    return assemble(device, frames);
}

ScannerSourceDialog::ScannerSourceDialog(const std::vector<ScannerDevice>& devices,
                                         const std::string& current, QWidget* parent)
    : QDialog(parent), m_list(new QListWidget(this)), m_devices(devices)
{
    setObjectName(QStringLiteral("ScannerSourceDialog"));
    setWindowTitle(QStringLiteral("ソースの選択"));
    setFont(formFont());
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("ソース:"), this));
    m_list->setObjectName(QStringLiteral("SourceList"));
    layout->addWidget(m_list);
    int currentRow = 0;
    for (size_t i = 0; i < devices.size(); ++i) {
        const ScannerDevice& d = devices[i];
        QString text = QString::fromStdString(d.description);
        text += text.isEmpty()
                    ? QString::fromStdString(d.name)
                    : QStringLiteral(" (") + QString::fromStdString(d.name) + QLatin1Char(')');
        m_list->addItem(text);
        if (d.name == current)
            currentRow = static_cast<int>(i);
    }
    m_list->setCurrentRow(currentRow);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("選択"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_list, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    resize(360, 240);
}

std::string ScannerSourceDialog::chosenDevice() const
{
    const int row = m_list->currentRow();
    if (row < 0 || row >= static_cast<int>(m_devices.size()))
        return {};
    return m_devices[static_cast<size_t>(row)].name;
}

bool selectScannerSource(QWidget* parent)
{
    const std::vector<ScannerDevice> devices = listScanners();
    if (devices.empty()) {
        UiServices::current().showMessage(parent, kNoScanner);
        return false;
    }
    ScannerSourceDialog dialog(devices, rememberedSource(), parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const std::string chosen = dialog.chosenDevice();
    if (chosen.empty())
        return false;
    rememberedSource() = chosen;
    return true;
}

std::optional<Raster> acquireScan(QWidget* parent)
{
    std::string device = rememberedSource();
    if (device.empty()) {
        const std::vector<ScannerDevice> devices = listScanners();
        if (devices.empty()) {
            UiServices::current().showMessage(parent, kNoScanner);
            return std::nullopt;
        }
        device = devices.front().name;
    }
    return scanFromDevice(device, ScanSettings{}, parent);
}

}  // namespace lumavex
