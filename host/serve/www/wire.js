// The words the page speaks to the frame: action texts in the frame's action
// language, and key names as the frame spells them. Pure functions, no DOM.

// `text` as one quoted word: \\ \" \n \r \t escaped, so a value with quotes,
// backslashes or line breaks reaches the frame as typed.
export function quote(text) {
  let out = '"';
  for (const c of String(text)) {
    switch (c) {
      case '\\': out += '\\\\'; break;
      case '"': out += '\\"'; break;
      case '\n': out += '\\n'; break;
      case '\r': out += '\\r'; break;
      case '\t': out += '\\t'; break;
      default: out += c;
    }
  }
  return out + '"';
}

// A name as a word: bare when it reads back the same ("po_number", "bib#"),
// else quoted. '#' starts a comment only at the start of a word.
export function word(text) {
  return /^[^\s"\\#][^\s"\\]*$/.test(text) ? text : quote(text);
}

export const actions = {
  command: (n) => `command ${Number(n)}`,
  field: (name, value) => `field ${word(name)} ${quote(value)}`,
  check: (name, on) => `field ${word(name)} ${on ? 'yes' : 'no'}`,
  // A cell of the one selected row of a list, by its column heading.
  cell: (heading, value) => `field ${quote(heading)} ${quote(value)}`,
  // `rows` 1-based, as shown; none clears the selection.
  select: (rows) => (rows.length ? `select ${rows.join(' ')}` : 'select none'),
  sort: (heading, descending) => `sort ${quote(heading)} ${descending ? 'desc' : 'asc'}`,
  search: (heading, value) => `search ${quote(heading)} ${quote(value)}`,
  press: (id) => `press ${word(String(id))}`,
  key: (name) => `key ${quote(name)}`,
  // Tree items by their number as shown, from 1.
  node: (n) => `node ${Number(n)}`,
  rename: (n, label) => `rename ${Number(n)} ${quote(label)}`,
  drag: (n, m) => `drag ${Number(n)} ${Number(m)}`,
};

const namedKeys = {
  Enter: 'Enter', Escape: 'Escape', Tab: 'Tab', ' ': 'Space', Backspace: 'Backspace',
  Delete: 'Delete', Insert: 'Insert', Home: 'Home', End: 'End', PageUp: 'PageUp',
  PageDown: 'PageDown', ArrowUp: 'Up', ArrowDown: 'Down', ArrowLeft: 'Left',
  ArrowRight: 'Right',
};

// The frame's name of a key event ("Ctrl+F", "Shift+F5", "Ctrl+PageUp"),
// or "" for a key the frame has no name for (a bare modifier, a symbol).
export function keyName(ev) {
  let base = namedKeys[ev.key] || '';
  if (!base && /^F([1-9]|1[0-9]|2[0-4])$/.test(ev.key)) base = ev.key;
  // Letters and digits by their place on the keyboard, so Ctrl+Shift+F is
  // "F" whatever the layout makes of it.
  if (!base && /^Key[A-Z]$/.test(ev.code)) base = ev.code.slice(3);
  if (!base && /^Digit[0-9]$/.test(ev.code)) base = ev.code.slice(5);
  if (!base) return '';
  return (ev.ctrlKey ? 'Ctrl+' : '') + (ev.altKey ? 'Alt+' : '') +
         (ev.shiftKey ? 'Shift+' : '') + base;
}

// A key name in one spelling, for comparing ("ctrl+pageup").
export function normalKey(name) {
  const parts = String(name).split('+').map((p) => p.trim().toLowerCase());
  const base = parts.pop();
  const mods = ['ctrl', 'alt', 'shift'].filter((m) => parts.includes(m));
  return [...mods, base === 'esc' ? 'escape' : base === 'return' ? 'enter' : base].join('+');
}

// "&Save" -> {text: "Save", index: 0, letter: "s"}; "&&" is a literal "&".
// index -1 and letter "" when there is no key mark.
export function mnemonic(marked) {
  let text = '';
  let index = -1;
  const s = String(marked);
  for (let i = 0; i < s.length; ++i) {
    if (s[i] === '&' && i + 1 < s.length) {
      ++i;
      if (s[i] !== '&' && index < 0) index = text.length;
    }
    text += s[i];
  }
  return { text, index, letter: index >= 0 ? text[index].toLowerCase() : '' };
}

// A field's name as a label a person reads: "po_number" -> "PO number",
// "vendor#" -> "Vendor #".
const upper = new Set(['po', 'isbn', 'issn', 'id', 'edi', 'url']);
export function nameLabel(name) {
  const words = String(name).replace(/#/g, ' #').split(/[_\s]+/).filter(Boolean);
  const out = words.map((w) => (upper.has(w.toLowerCase()) ? w.toUpperCase() : w.toLowerCase()));
  if (out.length && out[0] === out[0].toLowerCase()) out[0] = out[0][0].toUpperCase() + out[0].slice(1);
  return out.join(' ');
}
