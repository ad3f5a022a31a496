// One window of the frame drawn from its description: the fields as a form
// (a label before a field pairs with it), check boxes, the window's lists
// and its buttons. Nothing here knows any particular window. A new screen
// updates the drawn window in place when its items are the same, so the
// person's focus and what they are typing survive.

import { el, marked, uid } from './dom.js';
import { ListView } from './lists.js';
import { TreeView } from './tree.js';
import { updateChart } from './chart.js';
import { actions, mnemonic, nameLabel } from './wire.js';

// The shape of a window's items: when it changes, the form is drawn anew.
function itemsShape(items) {
  return items.map((i) => `${i.k}|${i.id}|${i.name}|${i.k === 'field' && /[\r\n]/.test(i.text) ? 'multi' : ''}`).join('\n');
}

function itemKey(i) {
  return i.k === 'button' ? `button:${i.id || i.name}` : `${i.k}:${i.name || i.id}`;
}

export class WindowView {
  // host: {send(text, windowId), enter(windowId)}
  constructor(win, host) {
    this.id = win.id;
    this.host = host;
    this.shape = null;
    this.listShape = null;
    this.controls = new Map();   // item key -> {item, node}
    this.lists = [];             // ListView, the main list first
    this.lastFocus = null;       // data-fkey of the element last focused here
    this.type = win.type;
    const titleId = uid('wtitle');
    this.title = el('h2', { class: 'window-title', id: titleId });
    this.badge = el('span', { class: 'badge changed', hidden: true, text: 'Unsaved changes' });
    this.form = el('div', { class: 'form' });
    this.listBox = el('div', { class: 'lists' });
    this.treeBox = el('div', { class: 'trees', hidden: true });
    this.trees = [];
    this.treeShape = null;
    this.buttons = el('div', { class: 'buttons', role: 'group', 'aria-label': 'Actions' });
    this.element = el('section', {
      class: 'window', 'aria-labelledby': titleId, dataset: { window: String(win.id) },
    }, el('header', { class: 'window-head' }, this.title, this.badge),
       this.form, this.treeBox, this.listBox, this.buttons);
    this.element.addEventListener('keydown', (ev) => this.onKey(ev));
    this.element.addEventListener('focusin', (ev) => {
      if (ev.target.dataset && ev.target.dataset.fkey) this.lastFocus = ev.target.dataset.fkey;
    });
  }

  send(text) { this.host.send(text, this.id); }

  update(win, settled) {
    this.type = win.type;
    this.caption = win.caption;
    this.title.textContent = win.caption;
    this.badge.hidden = !win.changed;
    this.element.classList.toggle('is-lister', win.type === 'lister');
    const items = win.items || [];
    const shape = itemsShape(items);
    if (shape !== this.shape) {
      this.shape = shape;
      this.drawItems(items);
    } else {
      items.forEach((i) => this.refresh(this.controls.get(itemKey(i)), i));
    }
    this.updateTrees(win.trees || []);
    this.updateLists(win, settled);
    updateChart(this, win);
  }

  drawItems(items) {
    // Values typed and not sent yet survive the new form.
    const typed = new Map();
    for (const [key, c] of this.controls) {
      if (c.item.k === 'field' && c.node.value !== c.node._sent) typed.set(key, c.node.value);
    }
    this.controls.clear();
    const form = [];
    const buttons = [];
    for (let n = 0; n < items.length; ++n) {
      const i = items[n];
      if (i.k === 'button') {
        buttons.push(this.makeButton(i));
      } else if (i.k === 'check') {
        form.push(el('div', { class: 'pair check' }, this.makeCheck(i)));
      } else if (i.k === 'radio') {
        // The radios of a group stand together, one a row: one choice.
        const group = el('div', { class: 'radio-group', role: 'radiogroup' });
        for (; n < items.length && items[n].k === 'radio' && items[n].group === i.group; ++n)
          group.append(el('div', { class: 'pair check' }, this.makeCheck(items[n])));
        --n;
        form.push(group);
      } else if (i.k === 'field') {
        const input = this.makeField(i);
        form.push(el('div', { class: 'pair' },
          el('label', { for: input.id, text: i.label || nameLabel(i.name || String(i.id)) }), input));
      } else if (i.k === 'choice') {
        const select = this.makeChoice(i);
        form.push(el('div', { class: 'pair' },
          el('label', { for: select.id, text: i.label || nameLabel(i.name || String(i.id)) }), select));
      } else if (i.k === 'progress') {
        const bar = this.makeProgress(i);
        form.push(el('div', { class: 'pair' },
          el('span', { id: `${bar.id}-label`, text: i.label || nameLabel(i.name || String(i.id)) }), bar));
      } else if (i.k === 'label') {
        const next = items[n + 1];
        const text = el('span', { text: i.text });
        this.controls.set(itemKey(i), { item: i, node: text });
        if (next && next.k === 'field') {
          const input = this.makeField(next);
          form.push(el('div', { class: 'pair' }, el('label', { for: input.id }, text), input));
          ++n;
        } else {
          const note = el('p', { class: 'note', hidden: !i.text }, text);
          this.controls.get(itemKey(i)).box = note;
          form.push(note);
        }
      }
    }
    for (const [key, value] of typed) {
      const c = this.controls.get(key);
      if (c && c.item.k === 'field' && !c.node.readOnly) c.node.value = value;
    }
    this.form.replaceChildren(...form);
    this.form.hidden = form.length === 0;
    this.buttons.replaceChildren(...buttons);
    this.buttons.hidden = buttons.length === 0;
  }

  makeField(i) {
    const multi = /[\r\n]/.test(i.text);
    const input = el(multi ? 'textarea' : 'input', {
      id: uid('f'), name: i.name || String(i.id), class: 'field', autocomplete: 'off', spellcheck: 'false',
      dataset: { fkey: itemKey(i) },
    });
    if (!multi) input.type = 'text';
    else input.rows = Math.min(6, i.text.split('\n').length + 1);
    input.addEventListener('change', () => this.commit(input));
    const c = { item: i, node: input };
    this.controls.set(itemKey(i), c);
    this.refresh(c, i);
    return input;
  }

  makeCheck(i) {
    // A radio button belongs to its group (by the id of the group's first);
    // choosing one is all a person can do with it.
    const radio = i.k === 'radio';
    const box = el('input', { type: radio ? 'radio' : 'checkbox', id: uid('c'),
                              name: radio ? `group-${i.group}` : i.name || String(i.id),
                              dataset: { fkey: itemKey(i) } });
    box.addEventListener('change', () => this.send(actions.check(i.name || String(i.id), box.checked)));
    const label = el('label', { for: box.id, text: i.label || nameLabel(i.name || String(i.id)) });
    this.controls.set(itemKey(i), { item: i, node: box });
    this.refresh(this.controls.get(itemKey(i)), i);
    return [box, label];
  }

  // A drop-down choice: the program's options and "(none)"; a pick is sent
  // as the field's new value at once.
  makeChoice(i) {
    const select = el('select', { id: uid('s'), name: i.name || String(i.id), class: 'field choice',
                                  dataset: { fkey: itemKey(i) } });
    select.addEventListener('change', () => this.commit(select));
    const c = { item: i, node: select, shown: null };
    this.controls.set(itemKey(i), c);
    this.refresh(c, i);
    return select;
  }

  // A progress bar: the filled part in the frame's colours, the
  // percentage as its text for those who do not see the bar.
  makeProgress(i) {
    const fillNode = el('div', { class: 'progress-fill' });
    const text = el('span', { class: 'progress-text' });
    const bar = el('div', { class: 'progress', id: uid('p'), role: 'progressbar',
                            'aria-valuemin': '0', 'aria-valuemax': '100' }, fillNode, text);
    bar.setAttribute('aria-labelledby', `${bar.id}-label`);
    const c = { item: i, node: bar, fillNode, text };
    this.controls.set(itemKey(i), c);
    this.refresh(c, i);
    return bar;
  }

  makeButton(i) {
    const b = el('button', { type: 'button', class: 'btn', dataset: { fkey: itemKey(i) },
                             onclick: () => this.send(actions.press(i.id || i.name)) });
    const c = { item: i, node: b, text: null };
    this.controls.set(itemKey(i), c);
    this.refresh(c, i);
    return b;
  }

  // Puts the server's state of item `i` into its drawn control.
  refresh(c, i) {
    if (!c) return;
    c.item = i;
    const n = c.node;
    if (i.k === 'field') {
      const ro = i.enabled === false;
      n.readOnly = ro;
      n.classList.toggle('readonly', ro);
      n.setAttribute('aria-readonly', ro ? 'true' : 'false');
      n.title = ro ? i.text : '';
      // What the person is typing into the focused field stays; a field not
      // being edited shows what the frame says.
      const editing = n === document.activeElement && n.value !== n._sent;
      if (!editing) n.value = i.text;
      n._sent = i.text;
    } else if (i.k === 'check' || i.k === 'radio') {
      n.checked = /^(yes|1|true|on|checked)$/i.test(i.text || '');
      n.disabled = i.enabled === false;
    } else if (i.k === 'button') {
      if (c.text !== i.text) {
        c.text = i.text;
        n.replaceChildren(...marked(i.text));
      }
      n.disabled = i.enabled === false;
      n.classList.toggle('default', !!i.default);
    } else if (i.k === 'choice') {
      const options = ['', ...(i.options || [])];
      const shape = options.join('\n');
      if (c.shown !== shape) {
        c.shown = shape;
        n.replaceChildren(...options.map((o) => el('option', { value: o, text: o || '(none)' })));
      }
      n.value = i.text || '';
      n._sent = n.value;
      n.disabled = i.enabled === false;
    } else if (i.k === 'progress') {
      const pct = Math.max(0, Math.min(100, parseInt(i.text, 10) || 0));
      const colour = (v) => `#${(Number(v) >>> 0).toString(16).padStart(6, '0').slice(-6)}`;
      c.fillNode.style.width = `${pct}%`;
      c.fillNode.style.background = colour(i.fill);
      n.style.background = colour(i.background);
      c.text.textContent = i.text;
      n.setAttribute('aria-valuenow', String(pct));
      n.setAttribute('aria-valuetext', i.text);
    } else if (i.k === 'label') {
      n.textContent = i.text;
      if (c.box) c.box.hidden = !i.text;
    }
  }

  // Sends a field's new value once (change, Enter, leaving the window).
  commit(input) {
    if (!input || input.readOnly || input.disabled || input.value === input._sent) return;
    if (!input.classList.contains('field') || !this.element.contains(input)) return;
    input._sent = input.value;
    this.send(actions.field(input.name, input.value));
  }

  commitActive() {
    const a = document.activeElement;
    if (a && this.element.contains(a)) {
      this.commit(a);
      for (const l of this.lists) if (l.isEditing()) l.stopEdit(true);
    }
  }

  updateTrees(trees) {
    const shape = trees.map((t) => `${t.name}|${t.label}`).join('\n');
    if (shape !== this.treeShape) {
      this.treeShape = shape;
      this.trees = trees.map((t) => new TreeView(t, { send: (text) => this.send(text) }));
      this.treeBox.replaceChildren(...this.trees.map((t) => t.element));
    }
    trees.forEach((t, k) => this.trees[k].update(t));
    this.treeBox.hidden = trees.length === 0;
  }

  updateLists(win, settled) {
    const wanted = [];
    if ((win.headings && win.headings.length) || (win.rows && win.rows.length)) {
      wanted.push({ title: '', headings: win.headings || [], rows: win.rows || [], main: true,
                    searchable: win.searchable || [] });
    }
    for (const l of win.lists || []) {
      wanted.push({ title: nameLabel(l.name || 'List'), headings: l.headings || [], rows: l.rows || [], main: false });
    }
    const shape = `${win.type}|` + wanted.map((s) => `${s.main}|${s.title}`).join('\n');
    if (shape !== this.listShape) {
      this.listShape = shape;
      this.lists = wanted.map((s, index) => new ListView({
        index, title: s.title, label: win.caption, interactive: s.main,
        lister: s.main && win.type === 'lister', grid: s.main && win.type !== 'lister',
        host: { send: (text) => this.send(text), enter: () => this.host.enter(this.id) },
      }));
      this.listBox.replaceChildren(...this.lists.map((l) => l.element));
    }
    wanted.forEach((s, k) => this.lists[k].update(s.headings, s.rows, settled, s.searchable));
    this.listBox.hidden = wanted.length === 0;
    this.element.classList.toggle('has-list', wanted.length > 0);
  }

  onKey(ev) {
    if (ev.defaultPrevented || ev.altKey || ev.ctrlKey || ev.metaKey || ev.isComposing) return;
    const t = ev.target;
    if (ev.key === 'Enter') {
      // A focused button clicks itself; Shift+Enter is a new line in a
      // multi-line field.
      if (t.tagName === 'BUTTON' || t.tagName === 'A') return;
      if (t.tagName === 'TEXTAREA' && ev.shiftKey) return;
      ev.preventDefault();
      ev.stopPropagation();
      this.commitActive();
      this.send(actions.key('Enter'));
    } else if (ev.key === 'Escape') {
      ev.preventDefault();
      ev.stopPropagation();
      this.commitActive();
      this.send(actions.key('Escape'));
    }
  }

  byKey(key) {
    if (!key) return null;
    for (const e of this.element.querySelectorAll('[data-fkey]')) {
      if (e.dataset.fkey === key && !e.closest('[hidden]')) return e;
    }
    return null;
  }

  // Focuses the field called `name` (a notice from the frame); false when
  // the window has none.
  focusField(name) {
    const c = this.controls.get(`field:${name}`) || this.controls.get(`check:${name}`) ||
      this.controls.get(`radio:${name}`);
    if (!c) return false;
    c.node.focus();
    if (c.node.select && !c.node.readOnly) c.node.select();
    return true;
  }

  // Focus where the person was in this window, else the first place to type.
  focusBack(key) {
    const e = this.byKey(key || this.lastFocus);
    if (e) {
      e.focus({ preventScroll: false });
      return;
    }
    const field = [...this.form.querySelectorAll('.field, input[type=checkbox], input[type=radio]')]
      .find((f) => !f.readOnly && !f.disabled);
    const list = this.lists[0] && this.lists[0].opts.interactive && this.lists[0].rows.length ? this.lists[0].table : null;
    const search = this.type === 'lister' && this.lists[0] ? this.lists[0].thead.querySelector('input') : null;
    const def = this.buttons.querySelector('.btn.default:not([disabled])') ||
                this.buttons.querySelector('.btn:not([disabled])');
    const target = field || list || search || def || this.title;
    if (target === this.title) this.title.tabIndex = -1;
    target.focus();
    // A window's first field starts selected, so typing replaces it.
    if (target === field && field.select && field.type !== 'checkbox' && field.type !== 'radio') field.select();
  }

  // The enabled button whose key letter is `letter`, or null.
  buttonByLetter(letter) {
    for (const c of this.controls.values()) {
      if (c.item.k === 'button' && !c.node.disabled && mnemonic(c.item.text).letter === letter) return c.node;
    }
    return null;
  }
}
