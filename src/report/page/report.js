const FPS = 60;
const n = data.fundamental.length;
const duration = n / FPS;
const LEFT = 64, RIGHT = 16, TOP = 18, BOTTOM = 18;
const SVG = 'http://www.w3.org/2000/svg';
const $ = (id) => document.getElementById(id);
const charts = $('charts');
const audio = {original: $('original'), preview: $('preview')};
let active = audio.original;   // the sound the playhead follows
let selected = -1;
let width = 0;                 // the charts' width in CSS pixels

function el(name, attrs, parent) {
  const node = document.createElementNS(SVG, name);
  for (const [k, v] of Object.entries(attrs)) node.setAttribute(k, v);
  if (parent) parent.appendChild(node);
  return node;
}
function text(parent, x, y, cls, content, anchor) {
  el('text', {x: x, y: y, class: cls, 'text-anchor': anchor || 'start'}, parent).textContent = content;
}
function grouped(v) { return Number(v).toLocaleString('en-US'); }
function percent(ratio) { const p = 100 * ratio; return (p >= 1 || p === 0 ? p.toFixed(1) : p.toPrecision(2)) + '%'; }
function seconds(t) { return t.toFixed(3) + ' s'; }
function plotWidth() { return Math.max(1, width - LEFT - RIGHT); }
function xOfTime(t) { return LEFT + (duration > 0 ? t / duration : 0) * plotWidth(); }
function timeOfX(x) { return Math.max(0, Math.min(duration, (x - LEFT) / plotWidth() * duration)); }
function frameOfTime(t) { return Math.max(0, Math.min(n - 1, Math.floor(t * FPS + 1e-9))); }
function residualDb(i) {
  if (data.silenceError[i] <= 0) return null;
  return 20 / 3 * Math.log10(Math.max(1, data.error[i]) / data.silenceError[i]);
}

// Round steps for axes: 1, 2 or 5 times a power of ten.
function niceStep(span, count) {
  const raw = span / Math.max(1, count);
  const power = Math.pow(10, Math.floor(Math.log10(raw)));
  return [1, 2, 5, 10].map((m) => m * power).find((s) => s >= raw);
}
function timeAxis(svg, height) {
  const step = Math.max(1 / FPS, niceStep(duration || 1, plotWidth() / 80));
  const digits = step >= 1 ? 0 : step >= 0.1 ? 1 : 2;
  el('line', {x1: LEFT, y1: height - BOTTOM, x2: width - RIGHT, y2: height - BOTTOM, class: 'axis'}, svg);
  for (let k = 0; k * step <= duration + 1e-9; k++) {
    const x = xOfTime(k * step);
    el('line', {x1: x, y1: height - BOTTOM, x2: x, y2: height - BOTTOM + 4, class: 'axis'}, svg);
    text(svg, x, height - 4, 'tick time', (k * step).toFixed(digits) + (k === 0 ? ' s' : ''), 'middle');
  }
}
function valueAxis(svg, height, lo, hi, unit) {
  const step = niceStep(hi - lo, 3);
  for (let v = Math.ceil(lo / step) * step; v <= hi + 1e-9; v += step) {
    const y = yOf(v, lo, hi, height);
    el('line', {x1: LEFT, y1: y, x2: width - RIGHT, y2: y, class: 'grid'}, svg);
    text(svg, LEFT - 6, y + 4, 'tick', grouped(Math.round(v * 100) / 100) + unit, 'end');
  }
}
function yOf(v, lo, hi, height) {
  return height - BOTTOM - (v - lo) / (hi - lo || 1) * (height - TOP - BOTTOM - 2);
}
// A chart's caption: its name, and on a wide page what to read in it.
function caption(label) { return Array.isArray(label) ? (width >= 820 ? label.join(': ') : label[0]) : label; }
function prepare(svg, height, label) {
  while (svg.firstChild) svg.removeChild(svg.firstChild);
  svg.setAttribute('width', width);
  svg.setAttribute('height', height);
  svg.setAttribute('viewBox', `0 0 ${width} ${height}`);
  text(svg, LEFT, 13, 'label', caption(label));
}
// A line through the frame centres, broken where value(i) is null.
function lineChart(id, height, label, value, lo, hi, unit) {
  const svg = $(id);
  prepare(svg, height, label);
  valueAxis(svg, height, lo, hi, unit);
  timeAxis(svg, height);
  let path = '', pen = false, drawn = 0;
  for (let i = 0; i < n; i++) {
    const v = value(i);
    if (v === null) { pen = false; continue; }
    const x = xOfTime((i + 0.5) / FPS), y = yOf(Math.max(lo, Math.min(hi, v)), lo, hi, height);
    path += (pen ? 'L' : 'M') + x.toFixed(1) + ' ' + y.toFixed(1);
    pen = true;
    drawn++;
  }
  el('path', {d: path, class: 'series', 'data-frames': drawn}, svg);
}
function voiceChart(height) {
  const svg = $('voices');
  prepare(svg, height, ['chosen voice', 'orange matched against the harmonic spectrum, blue the half-harmonic']);
  valueAxis(svg, height, 0, 262143, '');
  timeAxis(svg, height);
  const paths = {harmonic: '', half: ''};
  const size = Math.max(1.5, Math.min(4, plotWidth() / Math.max(1, n)));
  for (let i = 0; i < n; i++) {
    if (data.silent[i]) continue;
    const x = xOfTime((i + 0.5) / FPS) - size / 2, y = yOf(data.voice[i], 0, 262143, height) - size / 2;
    paths[data.harmonic[i] ? 'harmonic' : 'half'] += `M${x.toFixed(1)} ${y.toFixed(1)}h${size}v${size}h${-size}z`;
  }
  for (const [cls, d] of Object.entries(paths)) el('path', {d: d, class: cls}, svg);
}
function binChart(height) {
  const svg = $('bin-diff');
  if (!svg) return;
  prepare(svg, height, ['.bin differs', 'frames whose record in the .bin is not this search\'s choice']);
  timeAxis(svg, height);
  let d = '';
  const w = Math.max(1, plotWidth() / Math.max(1, n));
  for (const i of data.bin.frames) d += `M${xOfTime(i / FPS).toFixed(1)} ${TOP}h${w.toFixed(1)}v${height - TOP - BOTTOM}h${(-w).toFixed(1)}z`;
  el('path', {d: d, class: 'differs', 'data-frames': data.bin.frames.length}, svg);
}

// Spectrograms: one column per frame, levels as bytes, drawn once at their
// own size and scaled to the chart.
const COLOURS = (() => {
  const stops = [[0, 252, 252, 252], [0.25, 190, 200, 230], [0.5, 90, 110, 190], [0.75, 120, 30, 120], [1, 20, 0, 30]];
  const table = new Uint8ClampedArray(256 * 3);
  for (let v = 0; v < 256; v++) {
    const f = v / 255;
    let k = 0;
    while (k < stops.length - 2 && f > stops[k + 1][0]) k++;
    const [f0, ...a] = stops[k], [f1, ...b] = stops[k + 1];
    const u = (f - f0) / (f1 - f0);
    for (let c = 0; c < 3; c++) table[v * 3 + c] = a[c] + (b[c] - a[c]) * u;
  }
  return table;
})();
const spectrogramImages = {}, spectrogramLevels = {};
function spectrogramImage(name) {
  if (spectrogramImages[name]) return spectrogramImages[name];
  const rows = data.spectrogram.rows;
  const bytes = spectrogramLevels[name] = atob(data.spectrogram[name]);
  const canvas = document.createElement('canvas');
  canvas.width = Math.max(1, n);
  canvas.height = rows;
  const context = canvas.getContext('2d');
  const image = context.createImageData(canvas.width, rows);
  for (let i = 0; i < n; i++) {
    for (let r = 0; r < rows; r++) {
      const v = bytes.charCodeAt(i * rows + r), at = ((rows - 1 - r) * canvas.width + i) * 4;
      image.data[at] = COLOURS[v * 3]; image.data[at + 1] = COLOURS[v * 3 + 1];
      image.data[at + 2] = COLOURS[v * 3 + 2]; image.data[at + 3] = 255;
    }
  }
  context.putImageData(image, 0, 0);
  return spectrogramImages[name] = canvas;
}
function spectrogramChart(name, height, label) {
  const canvas = $('spectrogram-' + name);
  const ratio = window.devicePixelRatio || 1;
  canvas.width = Math.round(width * ratio);
  canvas.height = Math.round(height * ratio);
  canvas.style.height = height + 'px';
  const g = canvas.getContext('2d');
  g.scale(ratio, ratio);
  g.fillStyle = '#fafafa';
  g.fillRect(0, 0, width, height);
  const top = data.spectrogram.rows * data.spectrogram.rowHz;
  if (n > 0) g.drawImage(spectrogramImage(name), LEFT, TOP, plotWidth(), height - TOP - BOTTOM);
  g.font = '11px system-ui, sans-serif';
  g.fillStyle = '#666';
  g.textAlign = 'right';
  for (let khz = 0; khz * 1000 < top; khz += 2) {
    const y = height - BOTTOM - khz * 1000 / top * (height - TOP - BOTTOM);
    g.fillText(khz + ' kHz', LEFT - 6, y + 4);
  }
  const step = Math.max(1 / FPS, niceStep(duration || 1, plotWidth() / 80));
  const digits = step >= 1 ? 0 : step >= 0.1 ? 1 : 2;
  g.textAlign = 'center';
  for (let k = 0; k * step <= duration + 1e-9; k++) g.fillText((k * step).toFixed(digits) + (k === 0 ? ' s' : ''), xOfTime(k * step), height - 4);
  g.font = '12px system-ui, sans-serif';
  g.fillStyle = '#333';
  g.textAlign = 'left';
  g.fillText(caption(label), LEFT, 13);
}

function drawCharts() {
  width = charts.clientWidth;
  const narrow = width < 700;
  const h = narrow ? 96 : 112;
  spectrogramChart('original', narrow ? 120 : 150, ['original', 'spectrogram, darker is louder; 0 dB is its loudest point, ' + data.spectrogram.rangeDb + ' dB shown']);
  spectrogramChart('preview', narrow ? 120 : 150, ['preview', 'the chosen voices, same scale']);
  const topHz = Math.max(100, ...data.fundamental);
  lineChart('fundamental', h, ['fundamental (Hz)', 'from the pitch track; gaps where it has no pitch'], (i) => data.fundamental[i] || null, 0, topHz, '');
  lineChart('gain', h, ['gain', 'of the chosen voice, 4096 = unity'], (i) => data.gain[i], 0, Math.max(1, ...data.gain), '');
  const shown = [];
  for (let i = 0; i < n; i++) { const r = residualDb(i); if (r !== null) shown.push(r); }
  const lowest = Math.max(-60, Math.min(-20, ...shown));
  lineChart('residual', h, ['match (dB)', 'how far the difference lies below the frame; lower is closer; gaps are silent frames'],
            (i) => residualDb(i), Math.floor(lowest / 10) * 10, Math.max(0, ...shown), ' dB');
  voiceChart(h);
  binChart(56);
  $('bins').dataset.width = width;
  if (selected >= 0) select(selected);
  movePlayhead(active.currentTime);
}

// Where the hover is: the frame and the chart's figure there; on a
// spectrogram the frequency and level under the pointer.
function describeAt(name, i, chart, y) {
  switch (name) {
    case 'original':
    case 'preview': {
      const spectrogram = data.spectrogram, height = chart.clientHeight;
      const row = Math.floor((height - BOTTOM - y) / (height - TOP - BOTTOM) * spectrogram.rows);
      if (row < 0 || row >= spectrogram.rows || !spectrogramLevels[name]) return name;
      const level = spectrogramLevels[name].charCodeAt(i * spectrogram.rows + row) / 255 * spectrogram.rangeDb - spectrogram.rangeDb;
      return `${name}, ${((row + 0.5) * spectrogram.rowHz / 1000).toFixed(2)} kHz: ` +
             (level <= -spectrogram.rangeDb ? `below −${spectrogram.rangeDb} dB` : `${level.toFixed(0)} dB`);
    }
    case 'fundamental': return data.fundamental[i] ? data.fundamental[i] + ' Hz' : 'no pitch';
    case 'gain': return 'gain ' + data.gain[i];
    case 'residual': { const r = residualDb(i); return r === null ? 'silent' : r.toFixed(1) + ' dB'; }
    case 'voices': return data.silent[i] ? 'silent' : 'voice ' + data.voice[i];
    case 'bin': return data.bin.frames.includes(i) ? '.bin differs' : '.bin agrees';
    default: return name;
  }
}
charts.addEventListener('mousemove', (event) => {
  const box = charts.getBoundingClientRect();
  const x = event.clientX - box.left, y = event.clientY - box.top;
  const t = timeOfX(x), i = frameOfTime(t);
  const hover = $('hover');
  const chart = event.target.closest('[data-name]');
  const within = chart ? event.clientY - chart.getBoundingClientRect().top : 0;
  hover.textContent = `frame ${i} · ${seconds(i / FPS)} · ${chart ? describeAt(chart.dataset.name, i, chart, within) : ''}`;
  hover.style.display = 'block';
  hover.style.left = Math.min(x + 12, width - hover.offsetWidth) + 'px';
  hover.style.top = (y + 14) + 'px';
  hover.dataset.frame = i;
});
charts.addEventListener('mouseleave', () => { $('hover').style.display = 'none'; });
charts.addEventListener('click', (event) => {
  const box = charts.getBoundingClientRect();
  const t = timeOfX(event.clientX - box.left);
  seek(t);
  select(frameOfTime(t));
});

// Both sounds move together; the playhead follows the one playing, or the
// one played last.
function seek(t) {
  for (const track of Object.values(audio)) track.currentTime = t;
  movePlayhead(t);
}
function movePlayhead(t) {
  const playhead = $('playhead');
  playhead.style.left = xOfTime(t) + 'px';
  playhead.dataset.time = t.toFixed(3);
  $('clock').textContent = t.toFixed(2) + ' / ' + duration.toFixed(2) + ' s';
}
function setPlaying(what) {
  document.body.dataset.playing = what;
  $('play-original').classList.toggle('on', what === 'original');
  $('play-preview').classList.toggle('on', what === 'preview');
  $('play-original').innerHTML = (what === 'original' ? '&#10074;&#10074;' : '&#9654;') + ' Original';
  $('play-preview').innerHTML = (what === 'preview' ? '&#10074;&#10074;' : '&#9654;') + ' Preview';
}
function follow() {
  if (!active.paused) { movePlayhead(active.currentTime); requestAnimationFrame(follow); }
}
function toggle(name) {
  const track = audio[name];
  if (!track.paused) { track.pause(); return; }
  stopFrame();
  const at = active.currentTime >= duration ? 0 : active.currentTime;
  for (const other of Object.values(audio)) if (other !== track) other.pause();
  active = track;
  track.currentTime = at;
  track.play();
}
for (const [name, track] of Object.entries(audio)) {
  track.addEventListener('play', () => { setPlaying(name); requestAnimationFrame(follow); });
  track.addEventListener('pause', () => {
    if (document.body.dataset.playing === name) setPlaying('');
    if (track === active) movePlayhead(track.currentTime);
  });
  $('play-' + name).addEventListener('click', () => toggle(name));
}

// A frame alone lasts 1/60 s, too short to hear: it is held for half a
// second by looping it, the original first, then the preview.
const HOLD = 0.5;
let context = null, sources = [];
const buffers = {};
function bufferOf(name) {
  if (buffers[name]) return buffers[name];
  const src = audio[name].getAttribute('src');
  const bytes = atob(src.slice(src.indexOf(',') + 1));
  const count = (bytes.length - 44) >> 1;
  const buffer = context.createBuffer(1, Math.max(1, count), data.audioRate);
  const channel = buffer.getChannelData(0);
  for (let k = 0; k < count; k++) {
    const v = bytes.charCodeAt(44 + 2 * k) | (bytes.charCodeAt(45 + 2 * k) << 8);
    channel[k] = (v >= 32768 ? v - 65536 : v) / 32768;
  }
  return buffers[name] = buffer;
}
function stopFrame() {
  for (const source of sources) { source.onended = null; source.stop(); }
  sources = [];
  if (document.body.dataset.playing.startsWith('frame')) setPlaying('');
}
function playFrame() {
  if (selected < 0) return;
  for (const track of Object.values(audio)) track.pause();
  stopFrame();
  context = context || new AudioContext();
  context.resume();
  const from = selected / FPS, to = (selected + 1) / FPS;
  const start = context.currentTime + 0.05;
  ['original', 'preview'].forEach((name, k) => {
    const source = context.createBufferSource();
    source.buffer = bufferOf(name);
    source.loop = true;
    source.loopStart = from;
    source.loopEnd = to;
    const level = context.createGain();
    const t0 = start + k * (HOLD + 0.15);
    level.gain.setValueAtTime(0, t0);
    level.gain.linearRampToValueAtTime(1, t0 + 0.02);
    level.gain.setValueAtTime(1, t0 + HOLD - 0.03);
    level.gain.linearRampToValueAtTime(0, t0 + HOLD);
    source.connect(level).connect(context.destination);
    source.start(t0, from);
    source.stop(t0 + HOLD);
    source.onended = () => {
      setPlaying(k === 0 ? 'frame-preview' : '');
      if (k === 1) { document.body.dataset.framePlayed = selected; sources = []; }
    };
    sources.push(source);
  });
  setPlaying('frame-original');
}
$('play-frame').addEventListener('click', playFrame);

// The selected frame: its figures, and its spectrum beside the chosen entry.
function figure(parent, id, name, value) {
  const row = document.createElement('div');
  row.className = 'figure';
  row.innerHTML = '<dt></dt><dd></dd>';
  row.firstChild.textContent = name;
  row.lastChild.id = id;
  row.lastChild.textContent = value;
  parent.appendChild(row);
}
function select(i) {
  selected = i;
  document.body.dataset.selected = i;
  const band = $('selection');
  band.style.left = xOfTime(i / FPS) + 'px';
  band.style.width = Math.max(2, plotWidth() / Math.max(1, n)) + 'px';
  $('play-frame').innerHTML = '&#9654; Frame ' + i + ': original, then preview';
  $('frame-heading').textContent = `Frame ${i} at ${seconds(i / FPS)}`;
  const list = $('frame');
  list.textContent = '';
  figure(list, 'frame-pitch', 'fundamental', data.fundamental[i] ? data.fundamental[i] + ' Hz' : 'none: the pitch track gives 0 Hz');
  const record = `${data.voice[i]} at ${data.frequency[i]} Hz, gain ${data.gain[i]} (${(data.gain[i] / 4096).toFixed(3)}×), `;
  if (data.silent[i]) {
    figure(list, 'frame-voice', 'voice', record + 'the first voice the search tried: the frame is silent (its compared spectrum is zero), so any voice at gain 0 matches it exactly');
  } else {
    figure(list, 'frame-voice', 'voice', record +
           (data.harmonic[i] ? 'matched against the harmonic spectrum' : 'matched against the half-harmonic spectrum'));
    const r = residualDb(i);
    const worse = data.error[i] > data.silenceError[i];
    figure(list, 'frame-match', 'match', `${r.toFixed(1)} dB: ${percent(data.error[i] / data.silenceError[i])} of what silence would leave` +
           (worse ? ': no voice was tried at gain 0 here, and none has this frame\'s shape' : '') +
           ` (in the search's own measure, error ${grouped(data.error[i])} against ${grouped(data.silenceError[i])})`);
    figure(list, 'frame-runner-up', 'second best', data.runnerUp[i] < 0 ? 'no other entry was tried' :
           `error ${grouped(data.runnerUp[i])}, ${data.error[i] > 0 ? (data.runnerUp[i] / data.error[i]).toFixed(2) + '× the chosen' : 'the chosen is exact'}`);
  }
  const k = data.bin.frames.indexOf(i);
  if (data.bin.agreement !== 'none' && data.bin.agreement !== 'length') {
    figure(list, 'frame-bin', '.bin', k < 0 ? 'the same record' :
           `differs: voice ${data.bin.voice[k]} at ${data.bin.frequency[k]} Hz, gain ${data.bin.gain[k]}`);
  }
  drawBins(i);
}
function drawBins(i) {
  const svg = $('bins');
  const height = 220;
  prepare(svg, height, ['spectrum at multiples of ' + data.frequency[i] + ' Hz', 'the frame (grey) beside the chosen voice at its gain (orange)']);
  const target = data.target[i], scaled = data.scaled[i];
  const top = Math.max(1, ...target, ...scaled);
  valueAxis(svg, height, 0, top, '');
  const bw = plotWidth() / 64;
  for (let j = 0; j < 64; j++) {
    const x = LEFT + j * bw;
    const th = (height - TOP - BOTTOM - 2) * target[j] / top, sh = (height - TOP - BOTTOM - 2) * scaled[j] / top;
    el('rect', {x: x.toFixed(1), y: (height - BOTTOM - th).toFixed(1), width: (bw * 0.45).toFixed(1),
                height: th.toFixed(1), class: 'target', 'data-bin': j, 'data-value': target[j]}, svg);
    el('rect', {x: (x + bw * 0.45).toFixed(1), y: (height - BOTTOM - sh).toFixed(1), width: (bw * 0.45).toFixed(1),
                height: sh.toFixed(1), class: 'scaled', 'data-bin': j, 'data-value': scaled[j]}, svg);
  }
  el('line', {x1: LEFT, y1: height - BOTTOM, x2: width - RIGHT, y2: height - BOTTOM, class: 'axis'}, svg);
  const every = Math.ceil(64 / (plotWidth() / 60));
  for (let j = 0; j < 64; j += every) {
    text(svg, LEFT + (j + 0.45) * bw, height - 4, 'tick', j === 0 ? '0 Hz' : grouped(j * data.frequency[i]), 'middle');
  }
}

function listDifferences() {
  const list = $('bin-list');
  if (!list) return;
  data.bin.frames.slice(0, 500).forEach((i, k) => {
    const item = document.createElement('li');
    item.dataset.frame = i;
    item.textContent = `frame ${i} (${seconds(i / FPS)}): .bin voice ${data.bin.voice[k]} at ${data.bin.frequency[k]} Hz, gain ${data.bin.gain[k]}; ` +
                       `this search voice ${data.voice[i]} at ${data.frequency[i]} Hz, gain ${data.gain[i]}`;
    item.addEventListener('click', () => { seek(i / FPS); select(i); });
    list.appendChild(item);
  });
}

document.body.dataset.playing = '';
setPlaying('');
listDifferences();
if (n > 0) {
  select(data.firstFrame);
  drawCharts();
  let pending = false;
  window.addEventListener('resize', () => {
    if (pending) return;
    pending = true;
    requestAnimationFrame(() => { pending = false; drawCharts(); });
  });
} else {
  charts.textContent = 'The sound is shorter than one frame: nothing to show.';
  $('player').hidden = true;
  $('frame-panel').hidden = true;
}
document.body.dataset.ready = '1';
document.body.dataset.readyMs = Math.round(performance.now());
requestAnimationFrame(() => { document.body.dataset.paintedMs = Math.round(performance.now()); });
