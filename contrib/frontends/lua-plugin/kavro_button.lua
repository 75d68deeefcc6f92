-- A button that shows the current game's instructions with the Kavro viewer, for a frontend
-- whose Lua plugins are called with the game's name, the name of the game it is a clone of
-- (empty for a parent) and its system. The button is there only for games that have a document:
-- the viewer's --list answers that without opening a window.
--
-- In the plugin's hooks:
--   local kavro = require("kavro_button")
--   button.visible = kavro.button_visible(game, cloneof, system)   -- when the game changes
--   kavro.show(game, cloneof, system)                               -- when it is pressed
-- From a shell, as a frontend that runs commands calls it (status 0: visible / shown):
--   lua kavro_button.lua visible|show GAME CLONEOF SYSTEM

local M = {}

-- The viewer, and the document shown first when the game has it (else the first by name).
M.kavro = os.getenv("KAVRO") or "kavro"
M.document = os.getenv("KAVRO_DOCUMENT") or "command"

-- One word for the shell, whatever the name holds.
local function quote(text)
  return "'" .. (tostring(text):gsub("'", "'\\''")) .. "'"
end

-- The documents of one name, by document name ({command = "dat:metadata/command.dat"}), or nil.
local function list(name)
  if name == nil or name == "" then
    return nil
  end
  local pipe = io.popen(M.kavro .. " --list " .. quote(name) .. " 2>/dev/null")
  if pipe == nil then
    return nil
  end
  local documents, found = {}, false
  for line in pipe:lines() do
    local document, source = line:match("^([^\t]+)\t(.+)$")
    if document then
      documents[document] = source
      found = true
    end
  end
  pipe:close()
  return found and documents or nil
end

-- The game's documents and the name they were found under: the game's own, else those of the
-- game it is a clone of (a clone often shares its parent's move list).
function M.documents(game, cloneof, system)
  local documents = list(game)
  if documents then
    return documents, game
  end
  documents = list(cloneof)
  if documents then
    return documents, cloneof
  end
  return nil
end

function M.button_visible(game, cloneof, system)
  return M.documents(game, cloneof, system) ~= nil
end

-- Shows the instructions and returns when the user leaves them; false when there are none.
function M.show(game, cloneof, system)
  local documents, name = M.documents(game, cloneof, system)
  if documents == nil then
    return false
  end
  local document = M.document
  if documents[document] == nil then
    local names = {}
    for each in pairs(documents) do
      names[#names + 1] = each
    end
    table.sort(names)
    document = names[1]
  end
  local ok, _, status = os.execute(M.kavro .. " " .. quote(name) .. " " .. quote(document))
  -- Lua 5.1 gives the status alone, later versions true/nil, "exit" and the status.
  if type(ok) == "number" then
    return ok == 0
  end
  return ok == true and status == 0
end

-- Run as a command: lua kavro_button.lua visible|show GAME CLONEOF SYSTEM
if arg and arg[0] and arg[0]:match("kavro_button%.lua$") then
  local action, game, cloneof, system = arg[1], arg[2], arg[3], arg[4]
  local done
  if action == "visible" then
    done = M.button_visible(game, cloneof, system)
  elseif action == "show" then
    done = M.show(game, cloneof, system)
  else
    io.stderr:write("usage: lua kavro_button.lua visible|show GAME CLONEOF SYSTEM\n")
    os.exit(2)
  end
  os.exit(done and 0 or 1)
end

return M
