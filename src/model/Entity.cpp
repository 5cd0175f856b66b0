#include "model/Entity.h"

void Entity::SetModel(Model newModel) { model = newModel; }

bool Entity::Draw() { return model.Draw(this); }
