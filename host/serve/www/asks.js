// The frame's questions as modal dialogs: a message box, another user's
// authorisation, a line of text, a file to upload. Each calls
// answer({...}) once with what the frame expects after "t" and "id".

import { el, focusables, pointer, uid } from './dom.js';

const buttonText = {
  ok: 'OK', cancel: 'Cancel', abort: 'Abort', retry: 'Retry', ignore: 'Ignore', yes: 'Yes', no: 'No',
};
const iconGlyph = { error: '\u2715', warning: '!', question: '?', information: 'i' };

function shell(caption, role) {
  const titleId = uid('dt');
  const bodyId = uid('db');
  const title = el('h2', { class: 'dialog-title', id: titleId, text: caption });
  const body = el('div', { class: 'dialog-body', id: bodyId });
  const foot = el('div', { class: 'dialog-buttons' });
  const box = el('div', { class: 'dialog', role, 'aria-modal': 'true',
                          'aria-labelledby': titleId, 'aria-describedby': bodyId },
                 title, body, foot);
  return { box, title, body, foot };
}

function keepTabInside(box, ev) {
  if (ev.key !== 'Tab') return;
  const f = focusables(box);
  if (!f.length) return;
  const first = f[0];
  const last = f[f.length - 1];
  if (ev.shiftKey && document.activeElement === first) { ev.preventDefault(); last.focus(); }
  else if (!ev.shiftKey && document.activeElement === last) { ev.preventDefault(); first.focus(); }
}

function messageAsk(ask, answer) {
  const s = shell(ask.caption || 'Message', 'alertdialog');
  const icon = ask.icon && iconGlyph[ask.icon]
    ? el('span', { class: `icon icon-${ask.icon}`, 'aria-hidden': 'true', text: iconGlyph[ask.icon] }) : null;
  s.body.append(el('div', { class: 'message' }, icon, el('p', { class: 'message-text', text: ask.text || '' })));
  const buttons = (ask.buttons && ask.buttons.length ? ask.buttons : ['ok']).map((b) =>
    el('button', { type: 'button', class: 'btn', dataset: { answer: b },
                   onclick: () => answer({ button: b }) },
       el('u', { class: 'key', text: (buttonText[b] || b)[0] }), (buttonText[b] || b).slice(1)));
  if (buttons[0]) buttons[0].classList.add('default');
  s.foot.append(...buttons);
  const names = buttons.map((b) => b.dataset.answer);
  // Escape is the safe way out: Cancel, else No, else the only button.
  const safe = names.includes('cancel') ? 'cancel' : names.includes('no') ? 'no'
    : names.length === 1 ? names[0] : null;
  s.box.addEventListener('keydown', (ev) => {
    keepTabInside(s.box, ev);
    const at = buttons.indexOf(document.activeElement);
    if (ev.key === 'Escape') {
      ev.preventDefault();
      if (safe) answer({ button: safe });
    } else if ((ev.key === 'ArrowRight' || ev.key === 'ArrowLeft') && at >= 0) {
      ev.preventDefault();
      buttons[(at + (ev.key === 'ArrowRight' ? 1 : buttons.length - 1)) % buttons.length].focus();
    } else if (ev.key === 'Enter' && at < 0) {
      ev.preventDefault();
      answer({ button: names[0] });
    } else if (ev.key.length === 1 && !ev.ctrlKey && !ev.metaKey) {
      const hit = buttons.find((b) => (buttonText[b.dataset.answer] || b.dataset.answer)[0].toLowerCase() === ev.key.toLowerCase());
      if (hit) { ev.preventDefault(); hit.click(); }
    }
  });
  return { element: s.box, focus: () => buttons[0].focus() };
}

// A form dialog: labelled inputs, OK (Enter) and Cancel (Escape).
function formAsk(caption, intro, fields, okText, onOk, answer) {
  const s = shell(caption, 'dialog');
  const form = el('form', { class: 'dialog-form', novalidate: true });
  if (intro) for (const p of intro) if (p) s.body.append(el('p', { class: p.cls || '', text: p.text }));
  const inputs = fields.map((f) => {
    const input = el('input', { id: uid('a'), type: f.type || 'text', autocomplete: f.autocomplete || 'off',
                                spellcheck: 'false', value: f.value || '' });
    form.append(el('div', { class: 'pair' }, el('label', { for: input.id, text: f.label }), input));
    return input;
  });
  const error = el('p', { class: 'dialog-error', role: 'alert' });
  const ok = el('button', { type: 'submit', class: 'btn default', text: okText });
  const cancel = el('button', { type: 'button', class: 'btn', text: 'Cancel',
                                onclick: () => answer({ cancel: true }) });
  form.append(error);
  s.body.append(form);
  s.foot.append(ok, cancel);
  ok.setAttribute('form', form.id = uid('form'));
  form.addEventListener('submit', (ev) => {
    ev.preventDefault();
    onOk(inputs, { error, ok, cancel });
  });
  s.box.addEventListener('keydown', (ev) => {
    keepTabInside(s.box, ev);
    if (ev.key === 'Escape') {
      ev.preventDefault();
      if (!cancel.disabled) answer({ cancel: true });
    }
  });
  return { element: s.box, focus: () => inputs[0] ? inputs[0].focus() : ok.focus(), inputs, error, ok, cancel, body: s.body, form };
}

function credentialsAsk(ask, answer) {
  return formAsk('Authorisation needed',
    [{ text: 'Another user\u2019s authorisation is needed.' }, { text: ask.reason || '', cls: 'reason' }],
    [{ label: 'User name', autocomplete: 'off' }, { label: 'Password', type: 'password', autocomplete: 'off' }],
    'OK', (inputs) => answer({ user: inputs[0].value, password: inputs[1].value }), answer);
}

function textAsk(ask, answer) {
  const d = formAsk(ask.caption || 'Input', null,
    [{ label: ask.prompt || 'Value', type: ask.secret ? 'password' : 'text', value: ask.initial || '' }],
    'OK', (inputs) => answer({ text: inputs[0].value }), answer);
  const focus = d.focus;
  d.focus = () => { focus(); d.inputs[0].select(); };
  return d;
}

// One of a list (a printer, say): radio buttons, the offered one checked;
// OK (Enter) answers its number.
function choiceAsk(ask, answer) {
  const options = Array.isArray(ask.options) ? ask.options : [];
  const radios = [];
  const d = formAsk(ask.prompt || 'Choose', null, [], 'OK', () => {
    const chosen = radios.findIndex((r) => r.checked);
    if (chosen >= 0) answer({ choice: chosen });
  }, answer);
  const group = el('fieldset', { class: 'choices' }, el('legend', { class: 'sr-only', text: ask.prompt || 'Choose' }));
  const name = uid('choice');
  options.forEach((text, n) => {
    const radio = el('input', { type: 'radio', name, id: uid('o'), value: String(n), checked: n === (ask.initial || 0) });
    radios.push(radio);
    group.append(el('div', { class: 'choice' }, radio, el('label', { for: radio.id, text: String(text) })));
  });
  d.form.prepend(group);
  d.focus = () => (radios.find((r) => r.checked) || radios[0] || d.ok).focus();
  return d;
}

// A pop-up menu: a small column of buttons where the person dropped or
// pointed; a click answers its number, Escape (or a click outside, see
// the page) dismisses it. Up and Down move between the items.
function menuAsk(ask, answer) {
  const items = (Array.isArray(ask.options) ? ask.options : []).map((text, n) =>
    el('button', { type: 'button', class: 'popup-item', role: 'menuitem', text: String(text),
                   onclick: () => answer({ choice: n }) }));
  const box = el('div', { class: 'popup-menu', role: 'menu', 'aria-label': 'Menu' }, items);
  if (pointer.x !== null) {
    box.style.left = `${Math.max(0, Math.min(pointer.x, window.innerWidth - 200))}px`;
    box.style.top = `${Math.max(0, Math.min(pointer.y, window.innerHeight - 40 * items.length))}px`;
  }
  box.addEventListener('keydown', (ev) => {
    const at = items.indexOf(document.activeElement);
    if (ev.key === 'Escape') {
      ev.preventDefault();
      answer({ cancel: true });
    } else if (ev.key === 'ArrowDown' || ev.key === 'ArrowUp') {
      ev.preventDefault();
      const step = ev.key === 'ArrowDown' ? 1 : items.length - 1;
      items[(Math.max(at, 0) + step) % items.length].focus();
    } else if (ev.key === 'Tab') {
      ev.preventDefault();
    }
  });
  return { element: box, focus: () => items[0] && items[0].focus(), menu: true };
}

// upload(file, onProgress(done, total)) -> Promise of {ok, error}.
function fileAsk(ask, answer, upload) {
  const d = formAsk('Choose a file', [{ text: ask.prompt || 'The file to read' },
    ask.initial ? { text: `Suggested: ${ask.initial}`, cls: 'hint' } : null],
    [{ label: 'File', type: 'file' }], 'Upload', async (inputs, ui) => {
      const file = inputs[0].files && inputs[0].files[0];
      if (!file) {
        ui.error.textContent = 'Choose a file first.';
        return;
      }
      ui.error.textContent = '';
      ui.ok.disabled = ui.cancel.disabled = inputs[0].disabled = true;
      bar.hidden = false;
      note.textContent = `Uploading ${file.name}\u2026`;
      const result = await upload(file, (done, total) => {
        bar.max = total || 1;
        bar.value = done;
      });
      if (result.ok) {
        note.textContent = `${file.name} uploaded.`;
        return;   // the server answers the frame; the next screen closes this
      }
      ui.error.textContent = result.error || 'The upload failed.';
      ui.ok.disabled = ui.cancel.disabled = inputs[0].disabled = false;
      bar.hidden = true;
      note.textContent = '';
    }, answer);
  const bar = el('progress', { class: 'upload-bar', hidden: true, max: 1, value: 0 });
  const note = el('p', { class: 'hint', 'aria-live': 'polite' });
  d.form.append(bar, note);
  return d;
}

// Several files: each is uploaded in turn (the server keeps them for this
// question), then the answer says that was all. A failed upload stops
// there; choosing again uploads the chosen files anew.
function filesAsk(ask, answer, upload) {
  const d = formAsk('Choose files', [{ text: ask.prompt || 'The files to read' },
    ask.filter && ask.filter !== '*.*' ? { text: `Files: ${ask.filter}`, cls: 'hint' } : null],
    [{ label: 'Files', type: 'file' }], 'Upload', async (inputs, ui) => {
      const files = Array.from(inputs[0].files || []);
      if (files.length === 0) {
        ui.error.textContent = 'Choose one file or more first.';
        return;
      }
      ui.error.textContent = '';
      ui.ok.disabled = ui.cancel.disabled = inputs[0].disabled = true;
      bar.hidden = false;
      for (let n = 0; n < files.length; ++n) {
        note.textContent = `Uploading ${files[n].name} (${n + 1} of ${files.length})\u2026`;
        const result = await upload(files[n], (done, total) => {
          bar.max = total || 1;
          bar.value = done;
        }, false);
        if (!result.ok) {
          ui.error.textContent = `${files[n].name}: ${result.error || 'The upload failed.'}`;
          ui.ok.disabled = ui.cancel.disabled = inputs[0].disabled = false;
          bar.hidden = true;
          note.textContent = '';
          return;
        }
      }
      note.textContent = `${files.length} file(s) uploaded.`;
      answer({});
    }, answer);
  d.inputs[0].multiple = true;
  const bar = el('progress', { class: 'upload-bar', hidden: true, max: 1, value: 0 });
  const note = el('p', { class: 'hint', 'aria-live': 'polite' });
  d.form.append(bar, note);
  return d;
}

// The dialog for `ask`, or null for a kind the page does not know.
export function askDialog(ask, { answer, upload }) {
  let done = false;
  const once = (a) => {
    if (done) return;
    done = true;
    answer(a);
  };
  switch (ask.kind) {
    case 'message': return messageAsk(ask, once);
    case 'credentials': return credentialsAsk(ask, once);
    case 'text': return textAsk(ask, once);
    case 'choice': return choiceAsk(ask, once);
    case 'menu': return menuAsk(ask, once);
    case 'file': return fileAsk(ask, once, upload);
    case 'files': return filesAsk(ask, once, upload);
    default: return null;
  }
}
