// The operator page: screens as pictures with their buttons and inputs, the alarm list and
// the tags, kept live by the station's event stream. Actions are offered only to a session
// that may operate; the station checks every one of them again.
'use strict';

(() => {
  const byId = (id) => document.getElementById(id);

  const page = {
    operate: false,
    tags: new Map(),      // tag number -> tag object
    tagRows: new Map(),   // tag number -> table row
    screens: [],
    screen: null,         // the shown screen: {number, width, height, objects}
    imageLoading: false,
    imageStale: false,
    snapshotTaken: false,
  };

  // ---- Talking to the station -------------------------------------------------------

  // The answer of `method` `path` as JSON; a refusal throws with the station's "error" text.
  async function api(method, path, body) {
    const options = { method, credentials: 'same-origin', headers: {} };
    if (body !== undefined) {
      options.headers['Content-Type'] = 'application/json';
      options.body = JSON.stringify(body);
    }
    const response = await fetch(path, options);
    const text = await response.text();
    let data = null;
    try {
      data = text ? JSON.parse(text) : null;
    } catch (e) {
      data = null;
    }
    if (!response.ok) {
      const message = data && typeof data.error === 'string'
        ? data.error : `${response.status} ${response.statusText}`.trim();
      throw new Error(message);
    }
    return data;
  }

  function showError(message) {
    const box = byId('error');
    box.textContent = message;
    box.hidden = false;
  }

  function clearError() {
    byId('error').hidden = true;
  }

  // Runs an action; its failure is shown with the station's words.
  async function attempt(action) {
    try {
      await action();
      clearError();
    } catch (e) {
      showError(e.message);
    }
  }

  function element(tag, properties = {}, children = []) {
    const node = document.createElement(tag);
    Object.assign(node, properties);
    node.append(...children);
    return node;
  }

  // ---- Session ----------------------------------------------------------------------

  async function loadSession() {
    const session = await api('GET', '/api/session');
    page.operate = Boolean(session && session.operate);
    const label = byId('session');
    if (session && session.user)
      label.textContent = `${session.user} (${session.role})`;
    else
      label.textContent = session && session.accounts ? 'Guest' : 'Read only';
    document.body.classList.toggle('operate', page.operate);
  }

  // ---- Tags -------------------------------------------------------------------------

  // `value` as the tag shows its own: as many decimals as its text has, then its unit.
  function shownValue(tag, value) {
    const number = tag && typeof tag.text === 'string' ? tag.text.match(/-?\d+(?:([.,])(\d+))?/) : null;
    let text = String(value);
    if (number) {
      text = value.toFixed(number[2] ? number[2].length : 0);
      if (number[1] === ',')
        text = text.replace('.', ',');
    }
    return tag && tag.unit ? `${text} ${tag.unit}` : text;
  }

  function tagName(number) {
    const tag = page.tags.get(number);
    return tag ? tag.name : `Tag ${number}`;
  }

  function matchesSearch(tag) {
    const search = byId('tag-search').value.trim().toLowerCase();
    return !search || tag.name.toLowerCase().includes(search) || String(tag.number) === search;
  }

  function fillTagRow(row, tag) {
    row.cells[1].textContent = tag.name;
    row.cells[2].textContent = tag.valid ? tag.text : '';
    row.cells[3].textContent = tag.status;
    row.classList.toggle('alarm', Boolean(tag.alarm));
    row.classList.toggle('invalid', !tag.valid);
    row.hidden = !matchesSearch(tag);
  }

  function tagRow(tag) {
    let row = page.tagRows.get(tag.number);
    if (!row) {
      row = element('tr', {}, [
        element('td', { className: 'number', textContent: String(tag.number) }),
        element('td'), element('td', { className: 'value' }), element('td')]);
      row.dataset.tag = String(tag.number);
      page.tagRows.set(tag.number, row);
    }
    return row;
  }

  function showAllTags(tags) {
    page.tags = new Map(tags.map((tag) => [tag.number, tag]));
    page.tagRows = new Map();
    const body = byId('tag-table').tBodies[0];
    body.replaceChildren(...tags.map((tag) => {
      const row = tagRow(tag);
      fillTagRow(row, tag);
      return row;
    }));
  }

  function applyChangedTags(changed) {
    for (const tag of changed) {
      page.tags.set(tag.number, tag);
      const row = page.tagRows.get(tag.number);
      if (row)
        fillTagRow(row, tag);
    }
  }

  function filterTags() {
    for (const [number, row] of page.tagRows)
      row.hidden = !matchesSearch(page.tags.get(number));
  }

  // ---- Alarms -----------------------------------------------------------------------

  function alarmActions(alarm) {
    if (!page.operate || alarm.tag === null)
      return [];
    const actions = [];
    if (alarm.state === 'unacknowledged') {
      actions.push(element('button', {
        className: 'acknowledge', textContent: 'Acknowledge',
        onclick: () => attempt(() => acknowledge(alarm.tag)),
      }));
    }
    if (alarm.state !== 'shelved') {
      actions.push(element('button', {
        className: 'shelve', textContent: 'Shelve',
        onclick: () => askShelve(alarm),
      }));
    }
    return actions;
  }

  // A time of today as its clock time, an older one with its date, both in the browser's
  // local time; the full text stays in the cell's title.
  function shortTime(text) {
    const time = new Date(text);
    if (!text || Number.isNaN(time.getTime()))
      return text || '';
    const today = new Date().toDateString() === time.toDateString();
    return today ? time.toLocaleTimeString() : time.toLocaleString();
  }

  function showAlarms(alarms) {
    const rows = alarms.map((alarm) => {
      const row = element('tr', { className: alarm.state }, [
        element('td', { textContent: alarm.name || alarm.text }),
        element('td', {}, [alarm.text || alarm.kind,
          element('span', { className: 'state', textContent: alarm.state })]),
        element('td', { className: 'since', title: alarm.since, textContent: shortTime(alarm.since) }),
        element('td', { className: 'actions' }, alarmActions(alarm))]);
      if (alarm.tag !== null)
        row.dataset.tag = String(alarm.tag);
      return row;
    });
    byId('alarm-table').tBodies[0].replaceChildren(...rows);
    byId('no-alarms').hidden = alarms.length > 0;
  }

  async function loadAlarms() {
    showAlarms(await api('GET', '/api/alarms'));
  }

  async function acknowledge(tag) {
    await api('POST', `/api/alarms/${tag}/ack`, {});
    await loadAlarms();
  }

  function askShelve(alarm) {
    const dialog = byId('shelve-dialog');
    byId('shelve-label').textContent = `Shelve the alarms of ${alarm.name}`;
    byId('shelve-reason').value = '';
    dialog.onclose = () => {
      if (dialog.returnValue !== 'ok')
        return;
      const minutes = Number(byId('shelve-minutes').value);
      const reason = byId('shelve-reason').value;
      attempt(async () => {
        await api('POST', `/api/alarms/${alarm.tag}/shelve`, { minutes, reason });
        await loadAlarms();
      });
    };
    dialog.returnValue = '';
    dialog.showModal();
  }

  // ---- Screens ----------------------------------------------------------------------

  // Loads the picture again; a request while one loads is kept for when it has come, so
  // that the picture follows the changes without two loads at once.
  function reloadScreenImage() {
    if (!page.screen)
      return;
    if (page.imageLoading) {
      page.imageStale = true;
      return;
    }
    page.imageLoading = true;
    page.imageStale = false;
    byId('screen-image').src = `/screen.${page.screen.number}.png?t=${Date.now()}`;
  }

  function imageSettled() {
    page.imageLoading = false;
    if (page.imageStale)
      reloadScreenImage();
  }

  async function writeTag(number, value) {
    await api('POST', `/api/tags/${number}`, { value });
  }

  function presetClicked(object) {
    const question = `Set ${tagName(object.tag)} to ${shownValue(page.tags.get(object.tag), object.value)}?`;
    if (window.confirm(question))
      attempt(() => writeTag(object.tag, object.value));
  }

  function inputClicked(object) {
    const tag = page.tags.get(object.tag);
    const dialog = byId('input-dialog');
    const field = byId('input-value');
    const hasMin = tag && typeof tag.min === 'number';
    const hasMax = tag && typeof tag.max === 'number';
    byId('input-label').textContent = tagName(object.tag) + (tag && tag.unit ? ` (${tag.unit})` : '');
    field.value = tag && tag.valid && tag.value !== null ? String(tag.value) : '';
    field.min = hasMin ? String(tag.min) : '';
    field.max = hasMax ? String(tag.max) : '';
    byId('input-range').textContent = hasMin || hasMax
      ? `From ${hasMin ? tag.min : '…'} to ${hasMax ? tag.max : '…'}` : '';
    dialog.onclose = () => {
      if (dialog.returnValue !== 'ok' || field.value === '')
        return;
      const value = Number(field.value);
      if (object.confirm && !window.confirm(`Set ${tagName(object.tag)} to ${shownValue(tag, value)}?`))
        return;
      attempt(() => writeTag(object.tag, value));
    };
    dialog.returnValue = '';
    dialog.showModal();
    field.focus();
  }

  // The click area of an acting object, placed and sized in parts of the picture so that
  // it scales with it; none for an action this session may not take.
  function objectArea(object, screen) {
    const writes = object.action === 'preset' || object.action === 'input';
    if (!object.action || (writes && (!page.operate || object.tag === null)))
      return null;
    const area = element('button', { className: `area ${object.action}`, type: 'button' });
    area.style.left = `${(100 * object.x) / screen.width}%`;
    area.style.top = `${(100 * object.y) / screen.height}%`;
    area.style.width = `${(100 * object.width) / screen.width}%`;
    area.style.height = `${(100 * object.height) / screen.height}%`;
    if (object.action === 'goto') {
      area.title = 'Go to screen';
      area.onclick = () => attempt(() => showScreen(object.screen));
    } else if (object.action === 'preset') {
      area.title = `Set ${tagName(object.tag)} to ${object.value}`;
      area.dataset.tag = String(object.tag);
      area.onclick = () => presetClicked(object);
    } else {
      area.title = `Enter ${tagName(object.tag)}`;
      area.dataset.tag = String(object.tag);
      area.onclick = () => inputClicked(object);
    }
    return area;
  }

  async function showScreen(number) {
    const screen = await api('GET', `/api/screens/${number}`);
    page.screen = screen;
    for (const button of byId('screen-list').children)
      button.classList.toggle('current', Number(button.dataset.screen) === number);
    const areas = screen.objects.map((object) => objectArea(object, screen)).filter(Boolean);
    // Where objects overlap, the station acts on the first of the list: it goes on top.
    byId('screen-areas').replaceChildren(...areas.reverse());
    byId('screen-image').alt = screen.title;
    byId('screen-frame').hidden = false;
    page.imageStale = false;
    page.imageLoading = false;
    reloadScreenImage();
  }

  async function loadScreens() {
    page.screens = await api('GET', '/api/screens');
    byId('screen-list').replaceChildren(...page.screens.map((screen) => {
      const button = element('button', {
        type: 'button', textContent: screen.title || `Screen ${screen.number}`,
        onclick: () => attempt(() => showScreen(screen.number)),
      });
      button.dataset.screen = String(screen.number);
      return button;
    }));
    byId('no-screens').hidden = page.screens.length > 0;
    if (page.screens.length > 0)
      await showScreen(page.screens[0].number);
  }

  // ---- History ----------------------------------------------------------------------

  function localTime(date) {
    const two = (n) => String(n).padStart(2, '0');
    return `${date.getFullYear()}-${two(date.getMonth() + 1)}-${two(date.getDate())}` +
      `T${two(date.getHours())}:${two(date.getMinutes())}`;
  }

  // The project's own history page when it has one, else the last day of the first tags.
  async function setHistoryLink() {
    const link = byId('history-link');
    const own = await fetch('/history.html', { method: 'HEAD', credentials: 'same-origin' });
    if (own.ok) {
      link.href = '/history.html';
      return;
    }
    const numbers = [...page.tags.keys()].slice(0, 20);
    if (numbers.length === 0)
      return;
    const from = localTime(new Date(Date.now() - 24 * 3600 * 1000));
    link.href = `/history.csv?tags=${numbers.join(',')}&from=${from}&points=1000`;
  }

  // ---- Live updates -----------------------------------------------------------------

  // The whole state, asked for once the stream runs, so that no change falls between.
  async function takeSnapshot() {
    page.snapshotTaken = true;
    showAllTags(await api('GET', '/api/tags'));
    await loadAlarms();
    await setHistoryLink();
  }

  function openStream() {
    const stream = new EventSource('/api/stream');
    const connection = byId('connection');
    stream.addEventListener('open', () => {
      connection.textContent = 'Live';
      connection.classList.remove('offline');
      attempt(takeSnapshot);
    });
    stream.addEventListener('error', () => {
      connection.textContent = 'Offline';
      connection.classList.add('offline');
    });
    stream.addEventListener('tags', (event) => {
      applyChangedTags(JSON.parse(event.data));
      reloadScreenImage();
    });
    stream.addEventListener('alarms', (event) => showAlarms(JSON.parse(event.data)));
  }

  async function start() {
    const image = byId('screen-image');
    image.addEventListener('load', imageSettled);
    image.addEventListener('error', imageSettled);
    byId('tag-search').addEventListener('input', filterTags);
    await attempt(loadSession);
    openStream();
    // Without a stream the values still show once, not live.
    setTimeout(() => {
      if (!page.snapshotTaken)
        attempt(takeSnapshot);
    }, 3000);
    await attempt(loadScreens);
  }

  start();
})();
