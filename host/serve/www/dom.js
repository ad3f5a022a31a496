// Small DOM helpers. Every text from the server goes in as a text node, never
// as markup; no inline styles (the page's security policy forbids them).

import { mnemonic } from './wire.js';

// el('button', {class: 'x', type: 'button', onclick: f}, 'text', child...)
// Props: class, text, dataset (object), on<event> handlers, properties that
// are not strings (disabled, hidden, tabIndex...), anything else an attribute.
export function el(tag, props, ...children) {
  const e = document.createElement(tag);
  if (props) {
    for (const [k, v] of Object.entries(props)) {
      if (v === undefined || v === null || v === false) continue;
      if (k === 'class') e.className = v;
      else if (k === 'text') e.textContent = v;
      else if (k === 'dataset') Object.assign(e.dataset, v);
      else if (k.startsWith('on') && typeof v === 'function') e.addEventListener(k.slice(2), v);
      else if (typeof v !== 'string' && k in e) e[k] = v;
      else e.setAttribute(k, v === true ? '' : String(v));
    }
  }
  for (const c of children.flat()) if (c !== null && c !== undefined && c !== false) e.append(c);
  return e;
}

// The text of "&Save" with its key letter underlined, as nodes.
export function marked(text) {
  const m = mnemonic(text);
  if (m.index < 0) return [m.text];
  return [m.text.slice(0, m.index), el('u', { class: 'key' }, m.text[m.index]),
          m.text.slice(m.index + 1)];
}

let nextId = 0;
export function uid(prefix) {
  return `${prefix}-${++nextId}`;
}

// The elements that can take focus inside `root`, in order.
export function focusables(root) {
  return [...root.querySelectorAll(
    'button:not([disabled]), input:not([disabled]), textarea:not([disabled]), select:not([disabled]), [tabindex]:not([tabindex="-1"])')]
    .filter((e) => !e.closest('[hidden]') && !e.closest('[inert]'));
}

export function isTextEntry(e) {
  if (!e) return false;
  if (e.tagName === 'TEXTAREA') return true;
  if (e.tagName !== 'INPUT') return false;
  return !['checkbox', 'radio', 'button', 'submit', 'file', 'reset'].includes(e.type);
}

// Where the person last dropped or pointed (client coordinates), for a
// pop-up menu the frame shows there; null when nowhere yet.
export const pointer = { x: null, y: null };
